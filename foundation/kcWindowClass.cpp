#include "foundation/kcWindowClass.h"

// Longest class name the system's atom table holds.
static const size_t kMaxClassName = 255;

kcWindowClass::kcWindowClass(const wchar_t* className, WNDPROC windowProcedure, HINSTANCE instance, HICON icon,
                             HICON smallIcon, HBRUSH background, const wchar_t* menuName, HCURSOR cursor,
                             UINT classStyle)
    : m_atom(0), m_class(), m_name(className ? className : L"")
{
    m_class.cbSize = sizeof(WNDCLASSEXW);
    m_class.style = classStyle;
    m_class.lpfnWndProc = windowProcedure;
    m_class.cbClsExtra = 0;
    m_class.cbWndExtra = 0;
    m_class.hInstance = instance;
    m_class.hIcon = icon ? icon : LoadIconW(nullptr, (LPCWSTR)IDI_APPLICATION);
    m_class.hCursor = cursor ? cursor : LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    m_class.hbrBackground = background ? background : (HBRUSH)GetStockObject(BLACK_BRUSH);
    m_class.lpszMenuName = menuName;
    m_class.lpszClassName = className ? m_name.c_str() : nullptr;
    m_class.hIconSm = smallIcon ? smallIcon : LoadIconW(nullptr, (LPCWSTR)IDI_APPLICATION);
    // A longer name is refused here: the system would refuse it too, and not every version of it
    // does so cleanly.
    if (m_name.size() <= kMaxClassName) m_atom = RegisterClassExW(&m_class);
}

kcWindowClass::~kcWindowClass()
{
    if (m_atom) UnregisterClassW(m_class.lpszClassName, m_class.hInstance);
}
