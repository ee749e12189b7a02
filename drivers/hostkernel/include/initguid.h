// Host build: identifiers declared with DEFINE_GUID after this header are defined here.
#define INITGUID
#include <guiddef.h>
