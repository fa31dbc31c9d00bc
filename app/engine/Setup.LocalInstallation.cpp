#include "app/engine/Setup.Installation.h"

#include "net/Setup.Source.h"
#include "xml/ExSimpleXMLUnit.h"

// Placeholder until the local installation lands.
void CInstallation::MakeLocalInstallation() {}

int CInstallation::GetBuildNumber() {
    TExSimpleXML xml;
    xml.LoadXMLFile(Source->baseTemp + L"system.xml");
    return XMLGetChildInt(xml.Root(), L"number", 0);
}
