#include "app/engine/Setup.Worker.h"

#include <windows.h>

#include "app/core/Setup.Core.h"
#include "runtime/Threads.h"
#include "runtime/gui/Application.h"

std::shared_ptr<TWorkerRecord> StartWorker(const std::wstring& ThreadName, std::function<bool()> Body) {
    auto record = std::make_shared<TWorkerRecord>();
    record->Body = std::move(Body);
    // The thread holds its own reference, so a wait that gives up early leaves it a valid record.
    TThread* thread = TThread::CreateAnonymousThread([record, ThreadName] {
        if (!ThreadName.empty()) TThread::NameThreadForDebugging(ThreadName);
        bool result = false;
        try {
            result = record->Body();
        } catch (...) {
            // A failed body still ends its wait, with False.
        }
        record->ReturnValue = result;
        record->done = true;
        Application->WakeMainThread();
    });
    thread->Start();
    return record;
}

bool WaitForWorker(const TWorkerRecord& Record, TWorkerWait Wait) {
    for (;;) {
        CSetupCore::ProcessMessages();
        if (Wait == wwStopOnTerminate && Application->Terminated()) {
            Aborted = true;
            return false;
        }
        if (Record.done) return Record.ReturnValue;
    }
}

void WaitForWorkerEnd(const TWorkerRecord& Record, uint32_t Milliseconds) {
    // A terminated application's pump step naps instead of waiting for a message, so the deadline holds.
    const ULONGLONG deadline = GetTickCount64() + Milliseconds;
    while (!Record.done && GetTickCount64() < deadline) CSetupCore::ProcessMessages();
}

bool RunWorker(const std::wstring& ThreadName, std::function<bool()> Body, TWorkerWait Wait) {
    return WaitForWorker(*StartWorker(ThreadName, std::move(Body)), Wait);
}
