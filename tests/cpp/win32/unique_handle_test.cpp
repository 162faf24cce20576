#include "cpp/win32/unique_handle.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using namespace cpp::windows;

// Records every close, so the owner's bookkeeping is seen directly. 0 is
// empty and -1 a second value that owns nothing, as INVALID_HANDLE_VALUE is
// for kernel handles.
struct CountingTraits {
    using Type = int;
    static inline std::vector<int> closed;
    static Type invalid() { return 0; }
    static bool owns(Type value) { return value != 0 && value != -1; }
    static void close(Type value) { closed.push_back(value); }
};
using Counted = UniqueHandle<CountingTraits>;

TEST(UniqueHandleTest, EachResourceIsFreedOnceWhateverHappensToItsOwner) {
    struct Case {
        const char* name;
        std::function<void()> run;
        std::vector<int> closed;
    };
    const std::vector<Case> cases = {
        {"destroyed", [] { Counted owner(1); }, {1}},
        {"empty or owning nothing", [] { Counted empty, none(-1); }, {}},
        {"moved from", [] { Counted from(1); Counted to(std::move(from)); }, {1}},
        {"moved onto one that owns", [] {
             Counted from(1), to(2);
             to = std::move(from);
             EXPECT_EQ(CountingTraits::closed, std::vector<int>{2}) << "the old one goes at once";
         }, {2, 1}},
        {"moved onto itself", [] {
             Counted owner(1);
             Counted& same = owner;
             owner = std::move(same);
             EXPECT_EQ(owner.get(), 1);
         }, {1}},
        {"reset to another", [] { Counted owner(1); owner.reset(2); }, {1, 2}},
        {"reset to nothing", [] { Counted owner(1); owner.reset(); owner.reset(); }, {1}},
        {"released", [] { Counted owner(1); EXPECT_EQ(owner.release(), 1); EXPECT_EQ(owner.get(), 0); }, {}},
        {"filled through out", [] { Counted owner(1); *owner.out() = 2; }, {1, 2}},
    };
    for (const Case& each : cases) {
        CountingTraits::closed.clear();
        each.run();
        EXPECT_EQ(CountingTraits::closed, each.closed) << each.name;
    }
}

bool isOpenHandle(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHandleTest, KernelOwnersTakeNullAndInvalidAsEmptyWhicheverTheirDefault) {
    for (const HANDLE none : {HANDLE(nullptr), INVALID_HANDLE_VALUE}) {
        EXPECT_FALSE(UniqueKernelHandle(none).valid());
        EXPECT_FALSE(UniqueFileHandle(none).valid());
        EXPECT_FALSE(UniqueFind(none).valid());
    }
    EXPECT_EQ(UniqueKernelHandle().get(), nullptr);
    EXPECT_EQ(UniqueFileHandle().get(), INVALID_HANDLE_VALUE);

    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        UniqueKernelHandle owner(event);
        UniqueKernelHandle moved = std::move(owner);
        EXPECT_TRUE(isOpenHandle(event));
    }
    EXPECT_FALSE(isOpenHandle(event));
}

TEST(UniqueHandleTest, PredefinedRegistryRootsAreNeverClosed) {
    for (const HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT, HKEY_USERS}) {
        UniqueRegistryKey owner(root);
        EXPECT_FALSE(owner.valid());
    }
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_TRUE(UniqueRegistryKey(software).valid());
    // The root still answers after owners of it were destroyed.
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &again), ERROR_SUCCESS);
    RegCloseKey(again);
}

TEST(UniqueHandleTest, GdiObjectsAreDeletedAndSelectionsRestored) {
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BITMAP);
    BitmapHandle bitmap(CreateCompatibleBitmap(dc.get(), 4, 4));
    ASSERT_TRUE(bitmap);
    {
        SelectedObject selected(dc.get(), bitmap.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
        SelectedObject moved = std::move(selected);
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), original) << "restored once, by the last owner";
    {
        SelectedObject selected;
        selected = SelectedObject(dc.get(), bitmap.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
        selected = SelectedObject();
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), original) << "undone when replaced";
    }
    const HBITMAP raw = bitmap.get();
    bitmap.reset();
    EXPECT_EQ(GetObjectType(raw), 0u) << "deleted, not leaked";
}

} // namespace
