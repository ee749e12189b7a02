// Host build: the driver development kit header; everything the drivers use lives in <wdm.h>.
#pragma once
#include <wdm.h>
