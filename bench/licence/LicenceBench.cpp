// Shows licence terms in the licence viewer and reports, for each, the time spent turning the HTML into RTF,
// the time the viewer takes to show it, the characters shown and the peak memory: realistic terms of 512K and
// 1M characters (with 6,000 third-party notices), paragraphs of 8,000 characters, and hostile input at 256 KB
// and 4 MB. Each runs in a fresh process of this program ("licence_bench <case> <KB>"), so that the peak
// memory belongs to the one input.
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "runtime/gui/Forms.h"
#include "runtime/gui/WebBrowser.h"
#include "tests/gui/LicenceViewer.h"
#include "tests/gui/RealisticLicence.h"

namespace {
std::string Repeat(const std::string& Unit, size_t Bytes) {
    std::string s;
    while (s.size() < Bytes) s += Unit;
    return s;
}

// The bytes the viewer is given, about Bytes long; for the realistic terms, Bytes characters of text.
std::string MakeInput(const std::wstring& Case, size_t Bytes) {
    if (Case == L"licence") return Utf8(RealisticLicenceHtml(Bytes));
    if (Case == L"paras8000") {
        realistic_licence::TWords words;
        std::wstring p = words.Sentences(8000);
        p.resize(8000);
        return Repeat("<p>" + Utf8(p) + "</p>\n", Bytes);
    }
    if (Case == L"longpara") return Utf8(realistic_licence::TWords().Sentences(Bytes));
    if (Case == L"nul") return std::string(Bytes, '\0');
    if (Case == L"h1") return Repeat("<h1>", Bytes);
    if (Case == L"h1text") return Repeat("<h1>x", Bytes);
    if (Case == L"amp") return std::string(Bytes, '&');
    if (Case == L"ampspace") return Repeat("& ", Bytes);
    if (Case == L"word") return std::string(Bytes, 'a');
    if (Case == L"words") return Repeat("word ", Bytes);
    if (Case == L"bold") return Repeat("<b>", Bytes);
    if (Case == L"breaks") return Repeat("<br>x", Bytes);
    if (Case == L"paras") return Repeat("<p>Some words of a licence that wraps in lines.</p>\n", Bytes);
    return {};
}

double Seconds(std::chrono::steady_clock::time_point Since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Since).count();
}

double PeakMb() {
    PROCESS_MEMORY_COUNTERS pmc{};
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return pmc.PeakPagefileUsage / 1048576.0;
}

int MeasureOne(const std::wstring& Case, size_t Kb) {
    const std::wstring path = L"licence-bench-" + Case + L".html";
    {
        std::string bytes = MakeInput(Case, Kb << 10);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
        CloseHandle(file);
    }
    TForm form(nullptr);
    form.SetClientWidth(610);
    form.SetClientHeight(472);
    auto* web = new TWebBrowser(&form);
    web->SetParent(&form);
    web->SetBounds(46, 138, 518, 274);
    form.Show();
    auto start = std::chrono::steady_clock::now();
    size_t rtf = HtmlToRtf(DecodeHtmlBytes(MakeInput(Case, Kb << 10))).size();
    double convert = Seconds(start);
    start = std::chrono::steady_clock::now();
    web->Navigate(path);
    double all = Seconds(start);
    size_t shown = web->PlainText().size();
    DeleteFileW(path.c_str());
    printf("%-9ls %6zu KB: RTF of %8zu bytes in %6.2f s, shown in %7.2f s, %8zu characters, peak %6.0f MB\n",
           Case.c_str(), Kb, rtf, convert, all, shown, PeakMb());
    return 0;
}
} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3) return MeasureOne(argv[1], (size_t)_wtoi(argv[2]));
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::pair<const wchar_t*, const wchar_t*> runs[] = {{L"licence", L"512"},
                                                              {L"licence", L"1024"},
                                                              {L"paras8000", L"512"},
                                                              {L"paras8000", L"1024"},
                                                              {L"longpara", L"1024"}};
    std::vector<std::pair<const wchar_t*, const wchar_t*>> all(std::begin(runs), std::end(runs));
    for (const wchar_t* c :
         {L"nul", L"h1", L"h1text", L"bold", L"amp", L"ampspace", L"word", L"words", L"paras", L"breaks"})
        for (const wchar_t* kb : {L"256", L"4096"}) all.emplace_back(c, kb);
    for (const auto& [c, kb] : all) {
        std::wstring line = L"\"" + std::wstring(self) + L"\" " + c + L" " + kb;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return 1;
        WaitForSingleObject(pi.hProcess, INFINITE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return 0;
}
