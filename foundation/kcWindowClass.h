#pragma once
#include <windows.h>
#include <string>

// Registers a window class with the library's defaults for what the caller leaves null.
class kcWindowClass {
public:
    kcWindowClass(const wchar_t* className, WNDPROC windowProcedure, HINSTANCE instance, HICON icon = nullptr,
                  HICON smallIcon = nullptr, HBRUSH background = nullptr, const wchar_t* menuName = nullptr,
                  HCURSOR cursor = nullptr, UINT classStyle = 0);
    ~kcWindowClass();
    ATOM GetAtom() const { return m_atom; }
    const WNDCLASSEXW& GetClass() const { return m_class; }

private:
    kcWindowClass(const kcWindowClass&) = delete;
    kcWindowClass& operator=(const kcWindowClass&) = delete;
    ATOM m_atom;
    WNDCLASSEXW m_class;
    // The class name is kept here, whole: the caller's text may not outlive the registration,
    // and a cut name would register another class.
    std::wstring m_name;
};
