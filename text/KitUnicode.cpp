#include "text/KitUnicode.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

#include "text/KitSynch.h"

namespace {

// Three levels indexed by bits 16-23, 8-15 and 0-7 of a code point; blocks exist only where the
// resource names some code point, so most of the 16 million entries cost nothing. A 256-block whose
// entries are all alike (a whole block of ideographs, syllables or private use) is one shared block
// per set of categories: the table then takes some hundreds of kilobytes, not three megabytes, and
// loads in a fraction of the time, fresh memory being what its load costs.
using TLevel3 = std::array<TCharacterCategories, 256>;

struct TLevel2 {
    std::array<TLevel3*, 256> Blocks{};
    std::array<bool, 256> Shared{}; // the block is a shared one: a change makes the slot its own copy
};

struct TCategoryTable {
    std::array<std::unique_ptr<TLevel2>, 256> Planes;
    std::vector<std::unique_ptr<TLevel3>> Blocks; // owns every block, shared or not
    std::vector<TLevel3*> Uniform;                 // the shared blocks, each of one set in all its entries
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

TLevel3* NewBlock(TCategoryTable& T, const TLevel3* Copy) {
    T.Blocks.push_back(Copy ? std::make_unique<TLevel3>(*Copy) : std::make_unique<TLevel3>());
    return T.Blocks.back().get();
}

// The shared block whose every entry is Set, made on first need.
TLevel3* UniformBlock(TCategoryTable& T, const TCharacterCategories& Set) {
    for (TLevel3* block : T.Uniform)
        if ((*block)[0] == Set) return block;
    TLevel3* block = NewBlock(T, nullptr);
    block->fill(Set);
    T.Uniform.push_back(block);
    return block;
}

// Block by block: the table's some 900,000 entries are filled at start-up, so each block is looked up (and
// made) once per range, not once per code point.
void AddRange(TCategoryTable& T, uint8_t Category, uint32_t First, uint32_t Last) {
    for (uint32_t c = First; c <= Last;) {
        auto& plane = T.Planes[(c >> 16) & 0xFF];
        if (!plane) plane = std::make_unique<TLevel2>();
        const uint32_t slot = (c >> 8) & 0xFF;
        TLevel3*& block = plane->Blocks[slot];
        const uint32_t end = std::min(Last, c | 0xFF); // the range's end within this block
        if ((c & 0xFF) == 0 && (end & 0xFF) == 0xFF && (!block || plane->Shared[slot])) {
            TCharacterCategories set = block ? (*block)[0] : TCharacterCategories();
            set.Include(TCharacterCategory(Category));
            block = UniformBlock(T, set);
            plane->Shared[slot] = true;
        } else {
            if (!block || plane->Shared[slot]) block = NewBlock(T, block);
            plane->Shared[slot] = false;
            for (uint32_t i = c & 0xFF; i <= (end & 0xFF); ++i)
                (*block)[i].Include(TCharacterCategory(Category));
        }
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
    const TLevel3* block = plane->Blocks[(CodePoint >> 8) & 0xFF];
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
