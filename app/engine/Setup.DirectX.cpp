#include "app/engine/Setup.Installation.h"

// Placeholder until the DirectX check lands: the library counts as present.
void CInstallation::CheckDirectX() {}
