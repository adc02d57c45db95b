// What a screen reader reads from the image elements, asked as one asks: through Active
// Accessibility from the window and from a point on the screen.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "image_elements.h"
#include "text_win.h"
#include "ui_test_support.h"

namespace skyswap::test {
namespace {

VARIANT Self() {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

struct ReadOut {
    bool found = false;
    std::wstring name;
    LONG role = 0;
    LONG state = 0;
};

ReadOut Read(IAccessible* object, VARIANT child) {
    ReadOut read;
    if (object == nullptr) {
        return read;
    }
    read.found = true;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(child, &name)) && name != nullptr) {
        read.name.assign(name, SysStringLen(name));
    }
    SysFreeString(name);
    VARIANT role{};
    if (SUCCEEDED(object->get_accRole(child, &role)) && role.vt == VT_I4) {
        read.role = role.lVal;
    }
    VARIANT state{};
    if (SUCCEEDED(object->get_accState(child, &state)) && state.vt == VT_I4) {
        read.state = state.lVal;
    }
    return read;
}

VARIANT Child(int element) {
    VARIANT child{};
    child.vt = VT_I4;
    child.lVal = element + 1;
    return child;
}

IAccessible* GridObject(MainWindow& form) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(form.ImageGridWindow(), static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object)))) {
        return nullptr;
    }
    return object;
}

// An element as the grid's object tells it, by its child id.
ReadOut FromWindow(MainWindow& form, int element) {
    IAccessible* object = GridObject(form);
    if (object == nullptr) {
        return {};
    }
    ReadOut read = Read(object, Child(element));
    object->Release();
    return read;
}

ReadOut FromPoint(MainWindow& form, int element) {
    RECT box = form.ImageElement(element).rect();
    MapWindowPoints(form.ImageGridWindow(), nullptr, reinterpret_cast<POINT*>(&box), 2);
    IAccessible* object = nullptr;
    VARIANT child{};
    if (FAILED(AccessibleObjectFromPoint({(box.left + box.right) / 2, (box.top + box.bottom) / 2},
                                         &object, &child))) {
        return {};
    }
    ReadOut read = Read(object, child);
    object->Release();
    VariantClear(&child);
    return read;
}

TEST(MainWindowScreenReader, EachImageElementHasItsNameAndTheRoleOfAButton) {
    TempFolder temp;
    MakePictureLibrary(temp, 13);
    const std::string library = kLibrary;
    temp.WriteFile(library + "\\ZT0\\ZT0.txt", "Clouds & sun, over the Channel");
    temp.WriteFile(library + "\\ZT12\\ZT12.txt", "");
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    ReadOut slot = FromWindow(*form, 0);
    ASSERT_TRUE(slot.found) << "no accessible object for slot 0";
    EXPECT_EQ(slot.name, L"Clouds & sun");
    EXPECT_EQ(slot.role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_TRUE(slot.state & STATE_SYSTEM_FOCUSABLE);
    EXPECT_FALSE(slot.state & STATE_SYSTEM_INVISIBLE);
    EXPECT_EQ(FromWindow(*form, 5).name, L"Sky 5");
    EXPECT_EQ(FromWindow(*form, kRandomElement).name, L"RANDOM");
    EXPECT_EQ(FromWindow(*form, kNextArrow).name, L"NEXT");
    EXPECT_EQ(FromWindow(*form, kBackArrow).name, L"BACK");
    EXPECT_EQ(FromWindow(*form, kBackArrow).role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_TRUE(FromWindow(*form, kBackArrow).state & STATE_SYSTEM_INVISIBLE)
        << "hidden on the first page";

    // From a point on the screen, as a screen reader follows the mouse.
    EXPECT_EQ(FromPoint(*form, 5).name, L"Sky 5");
    EXPECT_EQ(FromPoint(*form, kRandomElement).name, L"RANDOM");

    // The names follow the page.
    Click(form->ImageElement(kNextArrow));
    EXPECT_EQ(FromWindow(*form, 0).name, L"Sky 10");
    EXPECT_EQ(FromWindow(*form, 2).name, L"ZT12") << "a set without a description";
    EXPECT_EQ(FromWindow(*form, 3).name, L"empty slot");
    EXPECT_EQ(FromPoint(*form, 9).name, L"empty slot");
}

TEST(MainWindowScreenReader, TheSlotOfTheSetInTheGameSaysSo) {
    TempFolder temp;
    MakePictureLibrary(temp, 5);
    WriteSkyFiles(temp, kGame, "ZT3");
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    ASSERT_TRUE(PumpUntil([&] { return form->InstalledSet().has_value(); }));
    EXPECT_EQ(FromWindow(*form, 3).name, L"Sky 3, installed in the game");
    EXPECT_EQ(FromWindow(*form, 1).name, L"Sky 1");

    // After an install the name moves with the outline.
    Click(form->ImageElement(1));
    Click(form->Control(L"LoadToGame"));
    EXPECT_EQ(FromWindow(*form, 1).name, L"Sky 1, installed in the game");
    EXPECT_EQ(FromWindow(*form, 3).name, L"Sky 3");
}

TEST(MainWindowScreenReader, TheDefaultActionIsTheClick) {
    TempFolder temp;
    MakePictureLibrary(temp, 4);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    IAccessible* object = GridObject(*form);
    ASSERT_NE(object, nullptr);
    BSTR action = nullptr;
    EXPECT_TRUE(SUCCEEDED(object->get_accDefaultAction(Child(3), &action)));
    EXPECT_EQ(std::wstring(action != nullptr ? action : L""), L"Press");
    SysFreeString(action);
    EXPECT_TRUE(SUCCEEDED(object->accDoDefaultAction(Child(3))));
    object->Release();
    PumpMessages(form->hwnd());
    ASSERT_TRUE(form->State().selectedSet.has_value());
    EXPECT_EQ(*form->State().selectedSet, 3);
    EXPECT_EQ(GetFocus(), form->Control(L"LoadToGame"));
}

TEST(MainWindowScreenReader, AnObjectKeptPastTheWindowsEndSaysItIsNoLongerConnected) {
    TempFolder temp;
    MakePictureLibrary(temp, 4);
    IAccessible* object = nullptr;
    {
        StartedForm form(temp);
        ASSERT_TRUE(form.started);
        object = GridObject(*form);
        ASSERT_NE(object, nullptr);
        ASSERT_EQ(Read(object, Child(2)).name, L"Sky 2");
    }  // the window and MainWindow are gone; the screen reader still holds the object

    BSTR name = nullptr;
    EXPECT_EQ(object->get_accName(Child(2), &name), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(name, nullptr);
    SysFreeString(name);
    VARIANT answer{};
    EXPECT_EQ(object->get_accRole(Child(2), &answer), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(object->get_accState(Self(), &answer), CO_E_OBJNOTCONNECTED);
    BSTR action = nullptr;
    EXPECT_EQ(object->get_accDefaultAction(Child(2), &action), CO_E_OBJNOTCONNECTED);
    SysFreeString(action);
    EXPECT_EQ(object->accDoDefaultAction(Child(2)), CO_E_OBJNOTCONNECTED);
    LONG left = 0, top = 0, width = 0, height = 0;
    EXPECT_EQ(object->accLocation(&left, &top, &width, &height, Child(2)), CO_E_OBJNOTCONNECTED);
    LONG count = 0;
    EXPECT_EQ(object->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
    VARIANT hit{};
    EXPECT_EQ(object->accHitTest(left, top, &hit), CO_E_OBJNOTCONNECTED);
    IDispatch* parent = nullptr;
    EXPECT_EQ(object->get_accParent(&parent), CO_E_OBJNOTCONNECTED);
    object->Release();
}

// What a screen reader hears without asking: the WinEvents of this process.
struct HeardEvent {
    DWORD event;
    HWND window;
    LONG object;
    LONG child;
};

std::vector<HeardEvent>* heardEvents = nullptr;

void CALLBACK HearEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                        DWORD) {
    if (heardEvents != nullptr) {
        heardEvents->push_back({event, window, object, child});
    }
}

class EventListener {
  public:
    EventListener() {
        heardEvents = &heard_;
        hook_ = SetWinEventHook(EVENT_OBJECT_SHOW, EVENT_OBJECT_NAMECHANGE, nullptr, HearEvent,
                                GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    }
    ~EventListener() {
        if (hook_ != nullptr) {
            UnhookWinEvent(hook_);
        }
        heardEvents = nullptr;
    }
    EventListener(const EventListener&) = delete;
    EventListener& operator=(const EventListener&) = delete;

    bool listening() const { return hook_ != nullptr; }

    // The events heard since the last call, once the window's messages have been handled.
    std::vector<HeardEvent> Take(HWND dialog) {
        PumpMessages(dialog);
        std::vector<HeardEvent> taken;
        taken.swap(heard_);
        return taken;
    }

  private:
    std::vector<HeardEvent> heard_;
    HWINEVENTHOOK hook_ = nullptr;
};

// The child ids of the `event`s of `window`'s client, in their order.
std::vector<LONG> ChildrenOf(const std::vector<HeardEvent>& heard, DWORD event, HWND window) {
    std::vector<LONG> children;
    for (const HeardEvent& one : heard) {
        if (one.event == event && one.window == window && one.object == OBJID_CLIENT) {
            children.push_back(one.child);
        }
    }
    return children;
}

TEST(MainWindowScreenReader, IsToldOfEveryFocusMoveAndOfWhatAPageTurnChanges) {
    TempFolder temp;
    MakePictureLibrary(temp, 13);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    const HWND dialog = form->hwnd();
    const HWND grid = form->ImageGridWindow();
    EventListener listener;
    ASSERT_TRUE(listener.listening());
    listener.Take(dialog);

    SetFocus(grid);
    // Windows tells of the window's own focus as well (CHILDID_SELF), in an order of its own; a
    // screen reader then asks the window which child has it.
    const std::vector<LONG> focused = ChildrenOf(listener.Take(dialog), EVENT_OBJECT_FOCUS, grid);
    EXPECT_NE(std::find(focused.begin(), focused.end(), 1), focused.end())
        << "the focus came to the first slot";
    PostKey(dialog, VK_RIGHT);
    EXPECT_EQ(ChildrenOf(listener.Take(dialog), EVENT_OBJECT_FOCUS, grid), std::vector<LONG>{2});
    PostKey(dialog, VK_DOWN);
    EXPECT_EQ(ChildrenOf(listener.Take(dialog), EVENT_OBJECT_FOCUS, grid), std::vector<LONG>{5});

    // To ZT10..ZT12: every slot is named anew, the back arrow comes and the next one goes.
    PostKey(dialog, VK_NEXT);
    ASSERT_EQ(form->State().pageFirst, 10);
    const std::vector<HeardEvent> turn = listener.Take(dialog);
    std::vector<LONG> renamed = ChildrenOf(turn, EVENT_OBJECT_NAMECHANGE, grid);
    std::sort(renamed.begin(), renamed.end());
    renamed.erase(std::unique(renamed.begin(), renamed.end()), renamed.end());
    EXPECT_EQ(renamed, (std::vector<LONG>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(ChildrenOf(turn, EVENT_OBJECT_SHOW, grid), std::vector<LONG>{kBackArrow + 1});
    EXPECT_EQ(ChildrenOf(turn, EVENT_OBJECT_HIDE, grid), std::vector<LONG>{kNextArrow + 1});
}

// The grid's children where a screen reader finds them: the count, each one's place on the
// screen, the hit test (never a hidden arrow), the focus and the way between them.
TEST(MainWindowScreenReader, TheChildrenHaveTheirPlacesAndTheFocusAndAWayBetweenThem) {
    TempFolder temp;
    MakePictureLibrary(temp, 13);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    IAccessible* object = GridObject(*form);
    ASSERT_NE(object, nullptr);
    LONG count = 0;
    EXPECT_EQ(object->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, kImageElementCount);
    IDispatch* simple = nullptr;
    EXPECT_EQ(object->get_accChild(Child(0), &simple), S_FALSE) << "a simple child";
    for (int element = 0; element < kImageElementCount; ++element) {
        RECT expected = form->ImageElement(element).rect();
        MapWindowPoints(form->ImageGridWindow(), nullptr, reinterpret_cast<POINT*>(&expected), 2);
        LONG left = 0, top = 0, width = 0, height = 0;
        ASSERT_EQ(object->accLocation(&left, &top, &width, &height, Child(element)), S_OK);
        EXPECT_EQ(left, expected.left) << "element " << element;
        EXPECT_EQ(top, expected.top) << "element " << element;
        EXPECT_EQ(width, expected.right - expected.left) << "element " << element;
        EXPECT_EQ(height, expected.bottom - expected.top) << "element " << element;
        VARIANT hit{};
        const HRESULT hitResult =
            object->accHitTest((left + left + width) / 2, (top + top + height) / 2, &hit);
        if (element == kBackArrow) {
            EXPECT_FALSE(hitResult == S_OK && hit.vt == VT_I4 && hit.lVal == element + 1)
                << "the hidden back arrow is not hit";
        } else {
            EXPECT_EQ(hit.vt, VT_I4);
            EXPECT_EQ(hit.lVal, element + 1) << "element " << element;
        }
    }
    VARIANT focus{};
    ASSERT_EQ(object->get_accFocus(&focus), S_OK);
    EXPECT_FALSE(focus.vt == VT_I4 && focus.lVal > 0) << "no element has the focus";
    SetFocus(form->ImageGridWindow());
    PressKey(form->hwnd(), VK_DOWN);
    ASSERT_EQ(object->get_accFocus(&focus), S_OK);
    ASSERT_EQ(focus.vt, VT_I4);
    EXPECT_EQ(focus.lVal, 3 + 1);
    EXPECT_TRUE(Read(object, Child(3)).state & STATE_SYSTEM_FOCUSED);
    EXPECT_FALSE(Read(object, Child(0)).state & STATE_SYSTEM_FOCUSED);
    VARIANT end{};
    ASSERT_EQ(object->accNavigate(NAVDIR_DOWN, Child(3), &end), S_OK);
    EXPECT_EQ(end.lVal, 6 + 1);
    ASSERT_EQ(object->accNavigate(NAVDIR_NEXT, Child(kRandomElement), &end), S_OK);
    EXPECT_EQ(end.lVal, kNextArrow + 1) << "past the hidden back arrow";
    ASSERT_EQ(object->accNavigate(NAVDIR_FIRSTCHILD, Self(), &end), S_OK);
    EXPECT_EQ(end.lVal, 1);
    object->Release();
}

// As a screen reader reads the window from its own process: every element's name and place.
TEST(MainWindowScreenReader, AnotherProcessReadsEveryElementsNameAndPlace) {
    TempFolder temp;
    MakePictureLibrary(temp, 13);
    std::wstring commandLine = L"\"" + Utf8ToWide(HostPath(SKYSWAP_EXE_PATH)) + L"\"";
    const std::wstring library = Utf8ToWide(temp.Join(kLibrary));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               library.c_str(), &startup, &process));
    const HWND window = FindProcessWindow(process.dwProcessId, L"SkySwapMainWindow");
    const HWND grid = window != nullptr
                          ? FindProcessWindow(process.dwProcessId, L"SkySwapImageGrid", window)
                          : nullptr;
    std::vector<std::wstring> names;
    std::vector<RECT> places;
    IAccessible* object = nullptr;
    if (grid != nullptr && SUCCEEDED(AccessibleObjectFromWindow(
                               grid, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                               reinterpret_cast<void**>(&object)))) {
        for (int element = 0; element < kImageElementCount; ++element) {
            names.push_back(Read(object, Child(element)).name);
            LONG left = 0, top = 0, width = 0, height = 0;
            object->accLocation(&left, &top, &width, &height, Child(element));
            places.push_back({left, top, left + width, top + height});
        }
        object->Release();
    }
    RECT gridOnScreen{};
    GetWindowRect(grid, &gridOnScreen);
    if (window != nullptr) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    AwaitEnd(process);

    ASSERT_NE(grid, nullptr) << "the window never opened";
    ASSERT_EQ(names.size(), static_cast<size_t>(kImageElementCount));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(names[slot], L"Sky " + std::to_wstring(slot));
    }
    EXPECT_EQ(names[kRandomElement], L"RANDOM");
    EXPECT_EQ(names[kBackArrow], L"BACK");
    EXPECT_EQ(names[kNextArrow], L"NEXT");
    for (int element = 0; element < kImageElementCount; ++element) {
        RECT inside{};
        EXPECT_TRUE(places[element].right > places[element].left &&
                    IntersectRect(&inside, &places[element], &gridOnScreen) &&
                    EqualRect(&inside, &places[element]))
            << "element " << element << " lies on the grid";
    }
    EXPECT_LT(places[0].right, places[1].left) << "slot 1 right of slot 0";
    EXPECT_LT(places[0].bottom, places[3].top) << "slot 3 below slot 0";
}

}  // namespace
}  // namespace skyswap::test
