// Takes back what a failed installation made when no installation of its stream was there before it: the
// install folder, the configuration folder and the Start-menu group this run created (with the parents it
// created for them), and the install key it stored. Over an existing installation a failure leaves
// everything as the failing step left it.
#pragma once
#include <string>
#include <vector>

struct TInstallJob;

class TInstallRollback {
public:
    // Notes what exists, before the installation makes anything.
    explicit TInstallRollback(const TInstallJob& Job);
    // No install folder of the stream was there.
    bool Fresh() const { return FFresh; }
    // After a failure: removes what this run made, as far as it can (a file in use stays). Never raises.
    void Undo() const noexcept;

private:
    // A folder that did not exist, and its parents that did not either, deepest first.
    struct TMadeFolder {
        std::wstring Folder;
        std::vector<std::wstring> Parents;
    };
    static TMadeFolder Missing(const std::wstring& Folder);
    static void Remove(const TMadeFolder& Made) noexcept;

    bool FFresh = false;
    std::vector<TMadeFolder> FFolders;
    std::wstring FKeyValueName; // the install key's value, when it did not exist
};
