#include "accessible_image.h"

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

// Forwards everything to the standard object but the name, role, state and default action.
class AccessibleImage final : public IAccessible {
  public:
    AccessibleImage(IAccessible* standard, std::shared_ptr<const AccessibleImageLink> link)
        : standard_(standard), link_(std::move(link)) {}
    AccessibleImage(const AccessibleImage&) = delete;
    AccessibleImage& operator=(const AccessibleImage&) = delete;

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

    // IAccessible: what the element is.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (name == nullptr) {
            return E_POINTER;
        }
        *name = nullptr;
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (!IsSelf(child)) {
            return E_INVALIDARG;
        }
        const std::wstring text = link_->info().name ? link_->info().name() : std::wstring();
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
        if (!IsSelf(child)) {
            return E_INVALIDARG;
        }
        role->vt = VT_I4;
        role->lVal = ROLE_SYSTEM_PUSHBUTTON;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        const HRESULT result = standard_->get_accState(child, state);
        if (SUCCEEDED(result) && state->vt == VT_I4 && IsSelf(child)) {
            state->lVal |= STATE_SYSTEM_FOCUSABLE;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (action == nullptr) {
            return E_POINTER;
        }
        *action = nullptr;
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (!IsSelf(child)) {
            return E_INVALIDARG;
        }
        *action = SysAllocString(kPressAction);
        return *action != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        if (Gone()) {
            return CO_E_OBJNOTCONNECTED;
        }
        if (!IsSelf(child)) {
            return E_INVALIDARG;
        }
        if (link_->info().press) {
            link_->info().press();
        }
        return S_OK;
    }

    // IAccessible: where it is and how it relates to the window, as the system knows it.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accDescription(child, description);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accFocus(focus);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        return Gone() ? CO_E_OBJNOTCONNECTED
                      : standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
        return Gone() ? CO_E_OBJNOTCONNECTED : standard_->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  private:
    ~AccessibleImage() { standard_->Release(); }

    // Screen readers' calls come on the window's thread, so the link cannot go during one.
    bool Gone() const { return !link_->connected(); }

    LONG references_ = 1;
    IAccessible* standard_;
    std::shared_ptr<const AccessibleImageLink> link_;
};

}  // namespace

LRESULT AccessibleImageObject(HWND window, WPARAM wParam,
                              std::shared_ptr<const AccessibleImageLink> link) {
    IAccessible* standard = nullptr;
    if (FAILED(system32::CreateStdAccessibleObject(window, OBJID_CLIENT, AccessibleId(),
                                                   reinterpret_cast<void**>(&standard))) ||
        standard == nullptr) {
        return 0;
    }
    auto* image = new AccessibleImage(standard, std::move(link));
    // LresultFromObject holds its own reference until the caller has taken the object.
    const LRESULT result = system32::LresultFromObject(AccessibleId(), wParam, image);
    image->Release();
    return result < 0 ? 0 : result;
}

}  // namespace skyswap
