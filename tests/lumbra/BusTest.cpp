// The bus suite against the simulated boards.
#include "BusSuite.h"
#include "BusWorlds.h"

namespace lumbra::test
{

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, BusSuite, SimBusWorld);

}  // namespace lumbra::test
