// What a screen reader reads from the image elements, asked as one asks: through Active
// Accessibility from the window and from a point on the screen.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <string>

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

ReadOut FromWindow(HWND window) {
    IAccessible* object = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object)))) {
        return {};
    }
    ReadOut read = Read(object, Self());
    object->Release();
    return read;
}

ReadOut FromPoint(HWND window) {
    RECT box{};
    GetWindowRect(window, &box);
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
    const auto element = [&](int number) { return form->ImageElement(number).hwnd(); };

    ReadOut slot = FromWindow(element(0));
    ASSERT_TRUE(slot.found) << "no accessible object for slot 0";
    EXPECT_EQ(slot.name, L"Clouds & sun");
    EXPECT_EQ(slot.role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_TRUE(slot.state & STATE_SYSTEM_FOCUSABLE);
    EXPECT_FALSE(slot.state & STATE_SYSTEM_INVISIBLE);
    EXPECT_EQ(FromWindow(element(5)).name, L"Sky 5");
    EXPECT_EQ(FromWindow(element(kRandomElement)).name, L"RANDOM");
    EXPECT_EQ(FromWindow(element(kNextArrow)).name, L"NEXT");
    EXPECT_EQ(FromWindow(element(kBackArrow)).name, L"BACK");
    EXPECT_EQ(FromWindow(element(kBackArrow)).role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_TRUE(FromWindow(element(kBackArrow)).state & STATE_SYSTEM_INVISIBLE)
        << "hidden on the first page";

    // From a point on the screen, as a screen reader follows the mouse.
    EXPECT_EQ(FromPoint(element(5)).name, L"Sky 5");
    EXPECT_EQ(FromPoint(element(kRandomElement)).name, L"RANDOM");

    // The names follow the page.
    Click(element(kNextArrow));
    EXPECT_EQ(FromWindow(element(0)).name, L"Sky 10");
    EXPECT_EQ(FromWindow(element(2)).name, L"ZT12") << "a set without a description";
    EXPECT_EQ(FromWindow(element(3)).name, L"empty slot");
    EXPECT_EQ(FromPoint(element(9)).name, L"empty slot");
}

TEST(MainWindowScreenReader, TheSlotOfTheSetInTheGameSaysSo) {
    TempFolder temp;
    MakePictureLibrary(temp, 5);
    WriteSkyFiles(temp, kGame, "ZT3");
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    ASSERT_TRUE(PumpUntil([&] { return form->InstalledSet().has_value(); }));
    EXPECT_EQ(FromWindow(form->ImageElement(3).hwnd()).name, L"Sky 3, installed in the game");
    EXPECT_EQ(FromWindow(form->ImageElement(1).hwnd()).name, L"Sky 1");

    // After an install the name moves with the outline.
    Click(form->ImageElement(1).hwnd());
    Click(form->Control(L"LoadToGame"));
    EXPECT_EQ(FromWindow(form->ImageElement(1).hwnd()).name, L"Sky 1, installed in the game");
    EXPECT_EQ(FromWindow(form->ImageElement(3).hwnd()).name, L"Sky 3");
}

TEST(MainWindowScreenReader, TheDefaultActionIsTheClick) {
    TempFolder temp;
    MakePictureLibrary(temp, 4);
    StartedForm form(temp);
    ASSERT_TRUE(form.started);
    IAccessible* object = nullptr;
    ASSERT_TRUE(SUCCEEDED(
        AccessibleObjectFromWindow(form->ImageElement(3).hwnd(), static_cast<DWORD>(OBJID_CLIENT),
                                   __uuidof(IAccessible), reinterpret_cast<void**>(&object))));
    BSTR action = nullptr;
    EXPECT_TRUE(SUCCEEDED(object->get_accDefaultAction(Self(), &action)));
    EXPECT_EQ(std::wstring(action != nullptr ? action : L""), L"Press");
    SysFreeString(action);
    EXPECT_TRUE(SUCCEEDED(object->accDoDefaultAction(Self())));
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
        ASSERT_TRUE(SUCCEEDED(
            AccessibleObjectFromWindow(form->ImageElement(2).hwnd(), static_cast<DWORD>(OBJID_CLIENT),
                                       __uuidof(IAccessible), reinterpret_cast<void**>(&object))));
        ASSERT_EQ(Read(object, Self()).name, L"Sky 2");
    }  // the window and MainWindow are gone; the screen reader still holds the object

    BSTR name = nullptr;
    EXPECT_EQ(object->get_accName(Self(), &name), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(name, nullptr);
    SysFreeString(name);
    VARIANT answer{};
    EXPECT_EQ(object->get_accRole(Self(), &answer), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(object->get_accState(Self(), &answer), CO_E_OBJNOTCONNECTED);
    BSTR action = nullptr;
    EXPECT_EQ(object->get_accDefaultAction(Self(), &action), CO_E_OBJNOTCONNECTED);
    SysFreeString(action);
    EXPECT_EQ(object->accDoDefaultAction(Self()), CO_E_OBJNOTCONNECTED);
    LONG left = 0, top = 0, width = 0, height = 0;
    EXPECT_EQ(object->accLocation(&left, &top, &width, &height, Self()), CO_E_OBJNOTCONNECTED);
    IDispatch* parent = nullptr;
    EXPECT_EQ(object->get_accParent(&parent), CO_E_OBJNOTCONNECTED);
    object->Release();
}

}  // namespace
}  // namespace skyswap::test
