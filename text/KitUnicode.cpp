#include "text/KitUnicode.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

#include "text/KitSynch.h"

namespace {

// Three levels indexed by bits 16-23, 8-15 and 0-7 of a code point; blocks exist only where the
// resource names some code point, so most of the 16 million entries cost nothing.
using TLevel3 = std::array<TCharacterCategories, 256>;
using TLevel2 = std::array<std::unique_ptr<TLevel3>, 256>;

struct TCategoryTable {
    std::array<std::unique_ptr<TLevel2>, 256> Planes;
    std::atomic<bool> Loaded{false};
    int LoadCount = 0;
};

TCategoryTable& Table() {
    static TCategoryTable table;
    return table;
}

TKitCriticalSection& UnitLock() {
    static TKitCriticalSection lock;
    return lock;
}

// The unit's start-up: the lock exists before any thread can ask.
[[maybe_unused]] const bool Started = (UnicodeUnitStartup(), true);

struct TLockGuard {
    explicit TLockGuard(TKitCriticalSection& L) : Lock(L) { Lock.Enter(); }
    ~TLockGuard() { Lock.Leave(); }
    TLockGuard(const TLockGuard&) = delete;
    TLockGuard& operator=(const TLockGuard&) = delete;
    TKitCriticalSection& Lock;
};

uint32_t ReadCodePoint24(TKitEasyStream& Stream) {
    uint8_t bytes[3];
    Stream.ReadBuffer(bytes, 3);
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16;
}

// Block by block: the table's some 900,000 entries are filled at start-up, so each block is looked up (and
// made) once per range, not once per code point.
void AddRange(TCategoryTable& T, uint8_t Category, uint32_t First, uint32_t Last) {
    for (uint32_t c = First; c <= Last;) {
        auto& plane = T.Planes[(c >> 16) & 0xFF];
        if (!plane) plane = std::make_unique<TLevel2>();
        auto& block = (*plane)[(c >> 8) & 0xFF];
        if (!block) block = std::make_unique<TLevel3>();
        const uint32_t end = std::min(Last, c | 0xFF); // the range's end within this block
        for (uint32_t i = c & 0xFF; i <= (end & 0xFF); ++i) (*block)[i].Include(TCharacterCategory(Category));
        c = end + 1;
    }
}

constexpr TCharacterCategories WhiteSpaceCategories{ccSeparatorSpace, ccSegmentSeparator, ccWhiteSpace};
constexpr TCharacterCategories NameStartCategories{ccLetterUppercase, ccLetterLowercase, ccLetterTitlecase,
                                                   ccNumberLetter,    ccLetterModifier,  ccLetterOther};
constexpr TCharacterCategories NameCharCategories{
    ccLetterUppercase,      ccLetterLowercase,    ccLetterTitlecase,     ccMarkNonSpacing,
    ccMarkSpacingCombining, ccNumberDecimalDigit, ccNumberLetter,        ccOtherFormat,
    ccLetterModifier,       ccLetterOther,        ccPunctuationConnector};

} // namespace

void UnicodeUnitStartup() {
    UnitLock();
}

std::unique_ptr<TKitEasyStream> OpenUnicodeDataResource(const std::wstring& Name) {
    auto resource = std::make_unique<TResourceStream>(HInstance(), Name, L"UNICODEDATA");
    auto stream = std::make_unique<TKitEasyStream>(resource.get(), true);
    resource.release(); // now owned by the decorator
    return stream;
}

void LoadCategoryTable() {
    TCategoryTable& table = Table();
    if (table.Loaded.load(std::memory_order_acquire)) return;
    TLockGuard guard(UnitLock());
    if (table.Loaded.load(std::memory_order_relaxed)) return;

    std::unique_ptr<TKitEasyStream> stream = OpenUnicodeDataResource(L"CATEGORIES");
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
    while (stream->Position() < stream->Size()) {
        uint8_t category = stream->ReadByte();
        int32_t count = stream->ReadInteger();
        if (count < 1) continue;
        ranges.clear();
        for (int32_t i = 0; i < count; ++i) {
            uint32_t first = ReadCodePoint24(*stream);
            uint32_t last = ReadCodePoint24(*stream);
            ranges.emplace_back(first, last);
        }
        if (category >= TCharacterCategories::ByteCount * 8) continue;
        for (auto [first, last] : ranges)
            if (last >= first) AddRange(table, category, first, last);
    }
    ++table.LoadCount;
    // Set last, so that no reader that skips the lock sees a partly filled table.
    table.Loaded.store(true, std::memory_order_release);
}

bool CodePointInCategories(uint32_t CodePoint, const TCharacterCategories& Categories) {
    TCategoryTable& table = Table();
    if (!table.Loaded.load(std::memory_order_acquire)) LoadCategoryTable();
    const TLevel2* plane = table.Planes[(CodePoint >> 16) & 0xFF].get();
    if (!plane) return false;
    const TLevel3* block = (*plane)[(CodePoint >> 8) & 0xFF].get();
    if (!block) return false;
    return (*block)[CodePoint & 0xFF].Intersects(Categories);
}

bool CodePointIsWhiteSpace(uint32_t CodePoint) {
    return CodePointInCategories(CodePoint, WhiteSpaceCategories);
}

bool CodePointIsNameStart(uint32_t CodePoint) {
    return CodePointInCategories(CodePoint, NameStartCategories);
}

bool CodePointIsNameChar(uint32_t CodePoint) {
    return CodePointInCategories(CodePoint, NameCharCategories);
}

TUCS4Array SingleCodePointArray(uint32_t CodePoint) {
    return TUCS4Array{CodePoint};
}

int CategoryTableLoadCount() {
    return Table().LoadCount;
}
