#include "accessible_grid.h"

#include <oleacc.h>

#include <utility>

#include "system_library_win.h"

namespace skyswap {

namespace {

constexpr wchar_t kPressAction[] = L"Press";

// mingw's import library gives IID_IAccessible as a code thunk, not the interface id: the
// id comes from the header's declaration instead.
const IID& AccessibleId() {
    return __uuidof(IAccessible);
}

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The window's part goes to the standard object; the children are the grid's own.
class AccessibleGrid final : public IAccessible {
  public:
    AccessibleGrid(IAccessible* standard, std::shared_ptr<const AccessibleGridLink> link)
        : standard_(standard), link_(std::move(link)) {}
    AccessibleGrid(const AccessibleGrid&) = delete;
    AccessibleGrid& operator=(const AccessibleGrid&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IDispatch) ||
            IsEqualIID(id, AccessibleId())) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IDispatch: screen readers call the IAccessible methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible: the children, the elements.
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        *count = link_->info().count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        *object = nullptr;
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        // The elements are simple children, with no object of their own.
        return ElementOf(child) >= 0 ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (name == nullptr) {
            return E_POINTER;
        }
        *name = nullptr;
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (IsSelf(child)) {
            return standard_->get_accName(child, name);
        }
        const int element = ElementOf(child);
        if (element < 0) {
            return E_INVALIDARG;
        }
        const std::wstring text = link_->info().name ? link_->info().name(element) : std::wstring();
        *name = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        if (role == nullptr) {
            return E_POINTER;
        }
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (IsSelf(child)) {
            return standard_->get_accRole(child, role);
        }
        if (ElementOf(child) < 0) {
            return E_INVALIDARG;
        }
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_PUSHBUTTON;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (state == nullptr) {
            return E_POINTER;
        }
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (IsSelf(child)) {
            return standard_->get_accState(child, state);
        }
        const int element = ElementOf(child);
        if (element < 0) {
            return E_INVALIDARG;
        }
        const AccessibleGridInfo& info = link_->info();
        LONG bits = STATE_SYSTEM_FOCUSABLE;
        if (info.focused && info.focused() == element) {
            bits |= STATE_SYSTEM_FOCUSED;
        }
        if (info.visible && !info.visible(element)) {
            bits |= STATE_SYSTEM_INVISIBLE;
        }
        state->vt = VT_I4;
        state->lVal = bits;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (action == nullptr) {
            return E_POINTER;
        }
        *action = nullptr;
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (IsSelf(child)) {
            return standard_->get_accDefaultAction(child, action);
        }
        if (ElementOf(child) < 0) {
            return E_INVALIDARG;
        }
        *action = SysAllocString(kPressAction);
        return *action != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (IsSelf(child)) {
            return standard_->accDoDefaultAction(child);
        }
        const int element = ElementOf(child);
        if (element < 0) {
            return E_INVALIDARG;
        }
        if (link_->info().press) {
            link_->info().press(element);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (IsSelf(child)) {
            return standard_->accLocation(left, top, width, height, child);
        }
        if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
            return E_POINTER;
        }
        const int element = ElementOf(child);
        if (element < 0 || !link_->info().rect) {
            return E_INVALIDARG;
        }
        RECT rect = link_->info().rect(element);
        MapWindowPoints(link_->window(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
        *left = rect.left;
        *top = rect.top;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        if (child == nullptr) {
            return E_POINTER;
        }
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        VariantInit(child);
        POINT client{x, y};
        ScreenToClient(link_->window(), &client);
        RECT window{};
        GetClientRect(link_->window(), &window);
        if (!PtInRect(&window, client)) {
            return S_FALSE;  // not on the grid
        }
        const int element = link_->info().hit ? link_->info().hit(client) : -1;
        child->vt = VT_I4;
        child->lVal = element >= 0 ? element + 1 : CHILDID_SELF;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        if (end == nullptr) {
            return E_POINTER;
        }
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        VariantInit(end);
        const AccessibleGridInfo& info = link_->info();
        const auto shown = [&](int element) { return !info.visible || info.visible(element); };
        // The first shown element from `from` on, stepping by `step`; -1 when none is.
        const auto scan = [&](int from, int step) {
            for (int element = from; element >= 0 && element < info.count; element += step) {
                if (shown(element)) {
                    return element;
                }
            }
            return -1;
        };
        int found = -1;
        if (IsSelf(start)) {
            if (direction != NAVDIR_FIRSTCHILD && direction != NAVDIR_LASTCHILD) {
                return standard_->accNavigate(direction, start, end);
            }
            found = direction == NAVDIR_FIRSTCHILD ? scan(0, 1) : scan(info.count - 1, -1);
        } else {
            const int element = ElementOf(start);
            if (element < 0) {
                return E_INVALIDARG;
            }
            switch (direction) {
                case NAVDIR_NEXT:
                    found = scan(element + 1, 1);
                    break;
                case NAVDIR_PREVIOUS:
                    found = scan(element - 1, -1);
                    break;
                case NAVDIR_UP:
                case NAVDIR_DOWN:
                case NAVDIR_LEFT:
                case NAVDIR_RIGHT:
                    found = info.navigate ? info.navigate(element, direction) : -1;
                    break;
                default:
                    return E_INVALIDARG;  // a simple child has no children
            }
        }
        if (found < 0) {
            return S_FALSE;
        }
        end->vt = VT_I4;
        end->lVal = found + 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        if (focus == nullptr) {
            return E_POINTER;
        }
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        const int element = link_->info().focused ? link_->info().focused() : -1;
        if (element < 0) {
            return standard_->get_accFocus(focus);
        }
        focus->vt = VT_I4;
        focus->lVal = element + 1;
        return S_OK;
    }

    // IAccessible: the window itself, as the system knows it; the elements have none of these.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : Text(child, value, &IAccessible::get_accValue);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        return Gone() ? CO_E_OBJNOTCONNECTED
                      : Text(child, description, &IAccessible::get_accDescription);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : Text(child, help, &IAccessible::get_accHelp);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return Gone() ? CO_E_OBJNOTCONNECTED
                      : Text(child, shortcut, &IAccessible::get_accKeyboardShortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        return IsSelf(child) ? standard_->get_accHelpTopic(file, child, topic) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        return IsSelf(child) ? standard_->accSelect(flags, child) : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  private:
    ~AccessibleGrid() { standard_->Release(); }

    // The element a child id names, or -1.
    int ElementOf(const VARIANT& child) const {
        return child.vt == VT_I4 && child.lVal >= 1 && child.lVal <= link_->info().count
                   ? static_cast<int>(child.lVal) - 1
                   : -1;
    }
    // A text the window has from the system and an element lacks.
    HRESULT Text(VARIANT child, BSTR* text,
                 HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, BSTR*)) {
        if (IsSelf(child)) {
            return (standard_->*read)(child, text);
        }
        if (text == nullptr) {
            return E_POINTER;
        }
        *text = nullptr;
        return ElementOf(child) >= 0 ? S_FALSE : E_INVALIDARG;
    }

    // Screen readers' calls come on the window's thread, so the link cannot go during one.
    bool Gone() const { return !link_->connected(); }

    LONG references_ = 1;
    IAccessible* standard_;
    std::shared_ptr<const AccessibleGridLink> link_;
};

}  // namespace

LRESULT AccessibleGridObject(HWND window, WPARAM wParam,
                             std::shared_ptr<const AccessibleGridLink> link) {
    IAccessible* standard = nullptr;
    if (FAILED(system32::CreateStdAccessibleObject(window, OBJID_CLIENT, AccessibleId(),
                                                   reinterpret_cast<void**>(&standard))) ||
        standard == nullptr) {
        return 0;
    }
    auto* grid = new AccessibleGrid(standard, std::move(link));
    // LresultFromObject holds its own reference until the caller has taken the object.
    const LRESULT result = system32::LresultFromObject(AccessibleId(), wParam, grid);
    grid->Release();
    return result < 0 ? 0 : result;
}

}  // namespace skyswap
