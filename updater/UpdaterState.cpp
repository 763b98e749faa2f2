#include "updater/UpdaterState.h"

UpdaterState& Updater()
{
    static UpdaterState state;
    return state;
}
