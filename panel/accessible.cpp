#include "panel/accessible.h"

#include <objbase.h>
#include <oleacc.h>

#include <new>
#include <string>

#include "app/ids.h"
#include "app/state.h"
#include "panel/link_column.h"
#include "panel/panel_paint.h"

namespace {

constexpr LONG TREE_CHILD = 1;
constexpr LONG ALL_PROGRAMS_CHILD = 2;
constexpr LONG STATE_LINK = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;

struct Child {
  enum Kind { kNone, kSelf, kWindow, kLink, kPicture } kind;
  HWND window;  // kWindow
  int linkId;   // kLink
};

LONG PictureChild() { return g_userPicture ? ALL_PROGRAMS_CHILD + 1 : 0; }
LONG FirstLinkChild() { return ALL_PROGRAMS_CHILD + 1 + (g_userPicture ? 1 : 0); }
LONG ShutdownChild() { return FirstLinkChild() + LINK_SLOT_COUNT; }

Child ChildAt(HWND popup, LONG id) {
  if (id == CHILDID_SELF) return {Child::kSelf, nullptr, 0};
  if (id == TREE_CHILD) return {Child::kWindow, GetDlgItem(popup, IDC_PINNEDTREE), 0};
  if (id == ALL_PROGRAMS_CHILD) return {Child::kWindow, GetDlgItem(popup, IDC_ALLPROGRAMS), 0};
  if (id == ShutdownChild()) return {Child::kWindow, GetDlgItem(popup, IDC_SHUTDOWN), 0};
  if (id != 0 && id == PictureChild()) return {Child::kPicture, nullptr, 0};
  LONG slot = id - FirstLinkChild();
  if (slot >= 0 && slot < LINK_SLOT_COUNT)
    return {Child::kLink, nullptr, IDL_USERHOME + static_cast<int>(slot)};
  return {Child::kNone, nullptr, 0};
}

// Client coordinates of a painted child.
RECT PaintedRect(const Child& child) {
  if (child.kind == Child::kLink) return g_linkSlots[child.linkId - IDL_USERHOME].hot;
  return {USER_PICTURE_X, USER_PICTURE_Y, USER_PICTURE_X + USER_PICTURE_SIZE,
          USER_PICTURE_Y + USER_PICTURE_SIZE};
}

VARIANT ChildId(LONG id) {
  VARIANT variant = {};
  variant.vt = VT_I4;
  variant.lVal = id;
  return variant;
}

HRESULT Allocated(const std::wstring& text, BSTR* out) {
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

// Owns one reference.
struct Held {
  IAccessible* object = nullptr;
  ~Held() {
    if (object) object->Release();
  }
};

class PopupAccessible final : public IAccessible {
 public:
  // Takes over the reference to standard, the object Windows made for the popup's client area.
  PopupAccessible(HWND popup, IAccessible* standard) : popup_(popup), standard_(standard) {}
  PopupAccessible(const PopupAccessible&) = delete;
  PopupAccessible& operator=(const PopupAccessible&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != __uuidof(IUnknown) && iid != __uuidof(IDispatch) && iid != __uuidof(IAccessible))
      return E_NOINTERFACE;
    *object = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // Clients call IAccessible directly; no type information is offered.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    return Alive() ? standard_->get_accParent(parent) : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    if (!Alive()) return RPC_E_DISCONNECTED;
    *count = ShutdownChild();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
    if (!child) return E_POINTER;
    *child = nullptr;
    Child found = {};
    HRESULT result = Find(id, &found);
    if (FAILED(result)) return result;
    if (found.kind == Child::kSelf) return E_INVALIDARG;
    if (found.kind != Child::kWindow) return S_FALSE;  // a simple element of this object
    return AccessibleObjectFromWindow(found.window, OBJID_WINDOW, IID_PPV_ARGS(child));
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* name) override {
    return Text(id, name, &IAccessible::get_accName);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* value) override {
    return Text(id, value, &IAccessible::get_accValue);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT id, BSTR* description) override {
    return Text(id, description, &IAccessible::get_accDescription);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT id, BSTR* help) override {
    return Text(id, help, &IAccessible::get_accHelp);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT id, BSTR* shortcut) override {
    return Text(id, shortcut, &IAccessible::get_accKeyboardShortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* action) override {
    return Text(id, action, &IAccessible::get_accDefaultAction);
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* role) override {
    return Number(id, role, &IAccessible::get_accRole);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* state) override {
    return Number(id, state, &IAccessible::get_accState);
  }

  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT id, LONG* topic) override {
    if (!file || !topic) return E_POINTER;
    *file = nullptr;
    *topic = 0;
    Held answerer;
    HRESULT result = Answerer(id, &answerer);
    return result == S_OK ? answerer.object->get_accHelpTopic(file, ChildId(CHILDID_SELF), topic) : result;
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (!focus) return E_POINTER;
    focus->vt = VT_EMPTY;
    return Alive() ? standard_->get_accFocus(focus) : RPC_E_DISCONNECTED;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (!selection) return E_POINTER;
    selection->vt = VT_EMPTY;
    return Alive() ? standard_->get_accSelection(selection) : RPC_E_DISCONNECTED;
  }

  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
    Held answerer;
    HRESULT result = Answerer(id, &answerer);
    if (result == S_FALSE) return DISP_E_MEMBERNOTFOUND;
    return result == S_OK ? answerer.object->accSelect(flags, ChildId(CHILDID_SELF)) : result;
  }

  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT id) override {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    Child found = {};
    HRESULT result = Find(id, &found);
    if (FAILED(result)) return result;
    if (found.kind == Child::kLink || found.kind == Child::kPicture) {
      RECT rect = PaintedRect(found);
      MapWindowPoints(popup_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
      *left = rect.left;
      *top = rect.top;
      *width = rect.right - rect.left;
      *height = rect.bottom - rect.top;
      return S_OK;
    }
    Held answerer;
    result = Answerer(id, &answerer);
    return result == S_OK ? answerer.object->accLocation(left, top, width, height, ChildId(CHILDID_SELF))
                          : result;
  }

  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    if (!end) return E_POINTER;
    end->vt = VT_EMPTY;
    Child found = {};
    HRESULT result = Find(start, &found);
    if (FAILED(result)) return result;
    bool fromSelf = found.kind == Child::kSelf;
    LONG to;
    switch (direction) {
      case NAVDIR_FIRSTCHILD:
      case NAVDIR_LASTCHILD:
        if (!fromSelf) return E_INVALIDARG;
        to = direction == NAVDIR_FIRSTCHILD ? TREE_CHILD : ShutdownChild();
        break;
      case NAVDIR_NEXT:
      case NAVDIR_PREVIOUS:
        // The popup's own siblings are the standard object's business.
        if (fromSelf) return standard_->accNavigate(direction, start, end);
        to = start.lVal + (direction == NAVDIR_NEXT ? 1 : -1);
        if (to < TREE_CHILD || to > ShutdownChild()) return S_FALSE;
        break;
      default:
        return fromSelf ? standard_->accNavigate(direction, start, end) : DISP_E_MEMBERNOTFOUND;
    }
    Child target = ChildAt(popup_, to);
    if (target.kind != Child::kWindow) {
      *end = ChildId(to);
      return S_OK;
    }
    result = AccessibleObjectFromWindow(target.window, OBJID_WINDOW, IID_PPV_ARGS(&end->pdispVal));
    if (SUCCEEDED(result)) end->vt = VT_DISPATCH;
    return result;
  }

  // A link by the same rule as the hover, the picture inside its rectangle, anything else as
  // the standard object answers (a child window, or the popup itself).
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* hit) override {
    if (!hit) return E_POINTER;
    hit->vt = VT_EMPTY;
    if (!Alive()) return RPC_E_DISCONNECTED;
    POINT point = {x, y};
    ScreenToClient(popup_, &point);
    RECT picture = PaintedRect({Child::kPicture, nullptr, 0});
    int link = LinkAt(point);
    if (link != 0) {
      *hit = ChildId(FirstLinkChild() + link - IDL_USERHOME);
    } else if (g_userPicture && PtInRect(&picture, point)) {
      *hit = ChildId(PictureChild());
    } else {
      return standard_->accHitTest(x, y, hit);
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
    Child found = {};
    HRESULT result = Find(id, &found);
    if (FAILED(result)) return result;
    if (found.kind == Child::kLink) {
      OpenLink(found.linkId);  // as a click on it does
      return S_OK;
    }
    Held answerer;
    result = Answerer(id, &answerer);
    if (result == S_FALSE) return DISP_E_MEMBERNOTFOUND;
    return result == S_OK ? answerer.object->accDoDefaultAction(ChildId(CHILDID_SELF)) : result;
  }

  HRESULT STDMETHODCALLTYPE put_accName(VARIANT id, BSTR name) override {
    Held answerer;
    HRESULT result = Answerer(id, &answerer);
    if (result == S_FALSE) return DISP_E_MEMBERNOTFOUND;
    return result == S_OK ? answerer.object->put_accName(ChildId(CHILDID_SELF), name) : result;
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT id, BSTR value) override {
    Held answerer;
    HRESULT result = Answerer(id, &answerer);
    if (result == S_FALSE) return DISP_E_MEMBERNOTFOUND;
    return result == S_OK ? answerer.object->put_accValue(ChildId(CHILDID_SELF), value) : result;
  }

 private:
  ~PopupAccessible() { standard_->Release(); }

  // Clients may hold the object past the popup's end: then every call fails and reads nothing.
  bool Alive() const { return popup_ == g_mainWnd && IsWindow(popup_); }

  HRESULT Find(const VARIANT& id, Child* child) const {
    if (!Alive()) return RPC_E_DISCONNECTED;
    if (id.vt != VT_I4) return E_INVALIDARG;
    *child = ChildAt(popup_, id.lVal);
    return child->kind == Child::kNone ? E_INVALIDARG : S_OK;
  }

  // S_OK with the object that answers for the popup itself (the standard one) or for a child
  // window (Windows' own object of that window); S_FALSE for a painted child.
  HRESULT Answerer(const VARIANT& id, Held* answerer) const {
    Child found = {};
    HRESULT result = Find(id, &found);
    if (FAILED(result)) return result;
    if (found.kind == Child::kSelf) {
      standard_->AddRef();
      answerer->object = standard_;
      return S_OK;
    }
    if (found.kind != Child::kWindow) return S_FALSE;
    result = AccessibleObjectFromWindow(found.window, OBJID_WINDOW, IID_PPV_ARGS(&answerer->object));
    return SUCCEEDED(result) && !answerer->object ? E_FAIL : result;
  }

  using TextGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
  HRESULT Text(const VARIANT& id, BSTR* text, TextGetter getter) const {
    if (!text) return E_POINTER;
    *text = nullptr;
    Child found = {};
    HRESULT result = Find(id, &found);
    if (FAILED(result)) return result;
    bool name = getter == &IAccessible::get_accName;
    if (found.kind == Child::kSelf && name) return Allocated(L"Start menu", text);
    if (found.kind == Child::kLink && name) return Allocated(LinkCaption(found.linkId), text);
    if (found.kind == Child::kPicture && name)
      return Allocated(std::wstring(L"Account picture of ") + g_userName, text);
    if (found.kind == Child::kLink && getter == &IAccessible::get_accDefaultAction)
      return Allocated(L"Open", text);
    Held answerer;
    result = Answerer(id, &answerer);
    return result == S_OK ? (answerer.object->*getter)(ChildId(CHILDID_SELF), text) : result;
  }

  using NumberGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, VARIANT*);
  HRESULT Number(const VARIANT& id, VARIANT* number, NumberGetter getter) const {
    if (!number) return E_POINTER;
    number->vt = VT_EMPTY;
    Child found = {};
    HRESULT result = Find(id, &found);
    if (FAILED(result)) return result;
    bool role = getter == &IAccessible::get_accRole;
    if (found.kind == Child::kLink) {
      bool hot = found.linkId == g_hoverId;
      *number = ChildId(role ? ROLE_SYSTEM_LINK : STATE_LINK | (hot ? STATE_SYSTEM_HOTTRACKED : 0));
      return S_OK;
    }
    if (found.kind == Child::kPicture) {
      *number = ChildId(role ? ROLE_SYSTEM_GRAPHIC : STATE_SYSTEM_READONLY);
      return S_OK;
    }
    Held answerer;
    result = Answerer(id, &answerer);
    return result == S_OK ? (answerer.object->*getter)(ChildId(CHILDID_SELF), number) : result;
  }

  LONG references_ = 1;
  HWND popup_;
  IAccessible* standard_;
};

}  // namespace

LRESULT OnGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
  // The object id arrives sign-extended or not, depending on the sender.
  if (static_cast<LONG>(lParam) != OBJID_CLIENT) return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
  // COM brings a client's calls to this thread through its messages, which it serves only in an
  // apartment. The run enters one at the first client and stays in it: no start pays for COM.
  static bool inApartment;
  if (!inApartment) inApartment = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  IAccessible* standard = nullptr;
  LRESULT result = 0;
  if (inApartment && SUCCEEDED(CreateStdAccessibleObject(window, OBJID_CLIENT, IID_PPV_ARGS(&standard))) &&
      standard) {
    auto popup = new (std::nothrow) PopupAccessible(window, standard);
    if (popup) {
      result = LresultFromObject(__uuidof(IAccessible), wParam, popup);
      popup->Release();  // the client's reference, if any, is in the marshalled result
    } else {
      standard->Release();
    }
  }
  return result > 0 ? result : DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
}

void NotifyLinkStateChange(int linkId) {
  if (linkId < IDL_USERHOME || linkId > IDL_RUN) return;
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, g_mainWnd, OBJID_CLIENT, FirstLinkChild() + linkId - IDL_USERHOME);
}
