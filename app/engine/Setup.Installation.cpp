#include "app/engine/Setup.Installation.h"

#include "app/Setup.Application.h"
#include "app/ui/ui.window.main.h"
#include "net/Setup.Source.h"

// Placeholder until the install road lands: the window waits for the user.
void CInstallation::Run() {
    CInstallation engine;
    engine.Main();
}

CBaseInstallation::CBaseInstallation() : Source(std::make_shared<TSource>()), LangID(UILanguage) {
    Aborted = false;
    MainWindow->Source = Source.get();
}

CBaseInstallation::~CBaseInstallation() {
    MainWindow->Source = nullptr;
}

bool CBaseInstallation::AsyncRequest(const std::wstring&) {
    return false;
}

bool CBaseInstallation::AsyncRequest(const std::wstring&, TProgressProc, TProgressProc, TProgressEndProc) {
    return false;
}

bool CBaseInstallation::IsLocalInstallation() const {
    return Source->RealSource == stLocal;
}

CInstallation::CInstallation() : CStr(std::make_shared<CStringManager>(IsBetaStream)) {}

CInstallation::~CInstallation() = default;

void CInstallation::Main() {
    WaitForUser();
}
void CInstallation::CountAtBitLy() {}
void CInstallation::CheckSetup() {}
bool CInstallation::IsNewerSetupAvailable() {
    return false;
}
void CInstallation::UpdateSetup() {}
std::wstring CInstallation::SelectLanguage() {
    return UILanguage;
}
void CInstallation::ShowEULA() {}
void CInstallation::CustomizedInstall() {}
