#include "app/LockKeys.h"

#include <QGuiApplication>
#include <dlfcn.h>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#endif

namespace LockKeys
{
namespace
{
#if QT_CONFIG(xcb)
// XkbGetIndicatorState(Display*, unsigned device, unsigned* state); looked up
// at run time so that the program needs no X11 headers and runs without X.
using CGetIndicatorState = int (*)(Display*, unsigned, unsigned*);
constexpr unsigned kUseCoreKeyboard = 0x0100;

CGetIndicatorState IndicatorFunction()
{
    static CGetIndicatorState s_pfn = []() -> CGetIndicatorState {
        void* hLib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
        if (!hLib)
            return nullptr;
        return reinterpret_cast<CGetIndicatorState>(dlsym(hLib, "XkbGetIndicatorState"));
    }();
    return s_pfn;
}

Display* X11Display()
{
    auto* pApp = qGuiApp;
    if (!pApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* pX11 = pApp->nativeInterface<QNativeInterface::QX11Application>();
    return pX11 ? pX11->display() : nullptr;
}
#endif
}  // namespace

bool IsReadable()
{
#if QT_CONFIG(xcb)
    return X11Display() && IndicatorFunction();
#else
    return false;
#endif
}

unsigned State()
{
#if QT_CONFIG(xcb)
    Display* pDisplay = X11Display();
    CGetIndicatorState pfn = IndicatorFunction();
    if (!pDisplay || !pfn)
        return 0;
    unsigned nState = 0;
    if (pfn(pDisplay, kUseCoreKeyboard, &nState) != 0)
        return 0;
    // The usual keymaps put the three lights first, in this order.
    return nState & (kCaps | kNum | kScroll);
#else
    return 0;
#endif
}
}  // namespace LockKeys
