// The application object: one per process, it pumps the main thread's messages one at a time, shows the
// exceptions that reach it, and knows the program's title, file name and main form.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "runtime/Classes.h"

class TCustomForm;
struct HWND__;

class TApplication : public TComponent {
    ZRX_CLASS(TApplication, TComponent)
public:
    TApplication();
    ~TApplication() override;

    // Prepares the main thread to pump messages.
    void Initialize();
    // Makes the main thread an OLE apartment, once, as the shell's dialogs and calls want it. Apart from
    // Initialize: loading OLE costs start-up time that the first window need not wait for.
    void InitializeOle();
    // The framework's message loop; it runs only while a main form exists, so without one it returns at once.
    void Run();
    // One step of the pump: handles one waiting message, or runs the queued Synchronize calls and waits until
    // a message arrives. Exceptions from those calls reach the caller.
    void HandleMessage();
    // Shows the exception being handled in a message box titled with Title; EAbort shows nothing.
    // Call it inside a catch block.
    void HandleException(TObject* Sender);
    // Marks the application as terminating and wakes the pump.
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Wakes the main thread's pump from any thread (a posted message), so a wait sees a flag set elsewhere.
    void WakeMainThread() const;

    const std::wstring& Title() const { return FTitle; }
    void SetTitle(const std::wstring& Value) { FTitle = Value; }
    // The running executable's full file name.
    std::wstring ExeName() const;
    bool MainFormOnTaskBar = false;
    TCustomForm* MainForm() const { return FMainForm; }
    // The application's window, which owns the dialogs shown without an owner of their own: the main form's
    // window once it has one, none before.
    HWND__* Handle() const;

    // Frees the forms and other components that the application owns, newest first.
    void DestroyComponents();

    // Creates a form owned by the application; the first form becomes the main form.
    template <class TFormClass> void CreateForm(TFormClass*& Reference) {
        Reference = new TFormClass(this);
        if (!FMainForm) FMainForm = Reference;
    }

private:
    std::wstring FTitle;
    TCustomForm* FMainForm = nullptr;
    uint32_t FMainThreadId = 0;
    bool FTerminated = false;
    bool FComInitialized = false;
};

extern TApplication* const Application;

// Runs the program's body under the last-chance handler: an exception that escapes it is shown in a message
// box that names it, and the result (the exit code) is then 1; otherwise 0.
int RunProgram(const std::function<void()>& Body);
