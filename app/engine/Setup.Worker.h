// Long work on an anonymous worker thread while the main thread keeps the window alive, pumping its messages
// one at a time. The record that both threads share lives until the last of them lets go of it.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// What the main thread and a worker share: the body (with the inputs it captures) and the flags.
struct TWorkerRecord {
    std::function<bool()> Body;
    // The body's result, written before done.
    std::atomic<bool> ReturnValue{false};
    // Set last, when the body has ended (also when it raised).
    std::atomic<bool> done{false};
};

enum TWorkerWait {
    wwStopOnTerminate, // the wait also ends, with False and Aborted set, when the application terminates
    wwUntilDone        // the wait ends only when the body has ended
};

// Starts Body on a self-freeing thread named ThreadName (unnamed when empty) and returns its record at once.
// When the body ends, ReturnValue and then done are set, and the main thread is woken. A body that raises
// ends with ReturnValue False.
std::shared_ptr<TWorkerRecord> StartWorker(const std::wstring& ThreadName, std::function<bool()> Body);

// Pumps messages (CSetupCore::ProcessMessages) until the record is done, and gives its ReturnValue. With
// wwStopOnTerminate a terminating application ends the wait first: Aborted := True, result False; the worker
// runs on and its result is ignored.
bool WaitForWorker(const TWorkerRecord& Record, TWorkerWait Wait);

// After a wait that gave up on a closed window: pumps messages until the record is done or Milliseconds have
// passed, for a worker that was told to stop and cleans up behind itself.
void WaitForWorkerEnd(const TWorkerRecord& Record, uint32_t Milliseconds);

// Start and wait in one: runs Body on a worker thread and gives its result (False when it raised).
bool RunWorker(const std::wstring& ThreadName, std::function<bool()> Body,
               TWorkerWait Wait = wwStopOnTerminate);
