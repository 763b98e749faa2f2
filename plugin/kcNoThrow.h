#pragma once
// Runs f and turns anything it throws (only the standard library's allocation and length
// errors can arise) into the given result: no exception may leave an export, an object slot,
// a dialog procedure or a callback of the plug-in.
template <class R, class F>
R kcNoThrow(R failed, F&& f) noexcept
{
    try {
        return f();
    } catch (...) {
        return failed;
    }
}

template <class F>
void kcNoThrowVoid(F&& f) noexcept
{
    try {
        f();
    } catch (...) {
    }
}
