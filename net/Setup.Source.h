// Where the setup's files come from: the download server, the mirror, or the folder of the running
// program, chosen by the first request of the run; files are put into the setup's working folder.
#pragma once
#include <memory>
#include <string>

#include "net/Setup.Network.h"
#include "runtime/Streams.h"

enum TSourceType { stUnknown, stWebServer, stLocal };

class TBaseSource : public TObject {
    ZRX_CLASS(TBaseSource, TObject)
};

class TSource : public TBaseSource {
    ZRX_CLASS(TSource, TBaseSource)
public:
    // Takes the working folder (created), the program's folder and the release stream (-stream:beta).
    TSource();
    // Deletes the working folder with everything in it.
    ~TSource() override;
    TSource(const TSource&) = delete;
    TSource& operator=(const TSource&) = delete;

    // Puts fName into the working folder from the source, choosing the source on the first call. True when
    // the file is there; a failure leaves no file of that name.
    bool Request(const std::wstring& fName);
    // Downloads fName from the chosen web source with progress; makes no choice of source.
    bool Request(const std::wstring& fName, TProgressProc onWorkBegin, TProgressProc onWork,
                 TProgressEndProc onWorkEnd);
    // Writes the program's RCDATA resource of that name, or of that id, into the working folder as fName.
    // Raise EResNotFound when the program has no such resource, and a stream error (leaving no file) when the
    // file cannot be written.
    void RequestResource(const std::wstring& fName);
    void RequestResource2(const std::wstring& fName, int ResID);
    // Whether a file can be made in the working folder: a folder that is read-only, full, or stands as a file
    // would fail every request.
    bool CanWrite() const;
    // The path of fName in the working folder.
    std::wstring Use(const std::wstring& fName) const { return baseTemp + fName; }
    // For a run that ends: the transfer under way gives up at once (removing its file) and every later
    // request fails. Any thread may call it.
    void Cancel() { FCancellation->Cancel(); }

    // Base addresses of the web sources.
    static std::wstring MainServerBase();
    static std::wstring MirrorBase();
    static std::wstring MirrorBetaBase();

    bool bUseBetaStream = false;
    // Fixed by the first request; stWebServer while the web bases are being tried.
    TSourceType RealSource = stUnknown;
    // The web base ending in "/", or the program's folder in local mode; empty before the first request.
    std::wstring baseURL;
    // The working folder, ending in a backslash.
    std::wstring baseTemp;
    // The folder of the running program, ending in a backslash.
    std::wstring selfPath;
    // The last file asked for without progress, or written from a resource.
    std::wstring topRequest;
    // Where that file came from: its address on the web source or its path in local mode; empty when it
    // was written from a resource or did not arrive.
    std::wstring topAddress;

private:
    bool Choose(const std::wstring& fName);
    bool Fetch(const std::wstring& fName);
    std::shared_ptr<THTTPCancellation> FCancellation = std::make_shared<THTTPCancellation>();
    void SaveResource(const std::wstring& fName, TResourceStream& Resource);
};
