#include "app/engine/Setup.Installation.h"

// Placeholder until the install worker lands.
bool CInstallation::Install() {
    return false;
}
