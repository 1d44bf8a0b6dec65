#pragma once

// The state of Caps Lock, Num Lock and Scroll Lock for the status bar.
// Qt offers no portable way to read it; on X11 the keyboard's indicator
// lights are asked, elsewhere (Wayland, the offscreen platform) the state
// cannot be read and every lock reads as off.
namespace LockKeys
{
enum ELock : unsigned
{
    kCaps = 1u,
    kNum = 2u,
    kScroll = 4u
};

// True when State() reports the real keyboard.
bool IsReadable();
// ELock bits of the locks that are on.
unsigned State();
}  // namespace LockKeys
