#include "kcWindowClass.h"

kcWindowClass::kcWindowClass(const wchar_t* className, WNDPROC windowProcedure, HINSTANCE instance, HICON icon,
                             HICON smallIcon, HBRUSH background, const wchar_t* menuName, HCURSOR cursor,
                             UINT classStyle)
    : m_atom(0), m_class(), m_name()
{
    if (className) lstrcpynW(m_name, className, 256);
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
    m_class.lpszClassName = m_name;
    m_class.hIconSm = smallIcon ? smallIcon : LoadIconW(nullptr, (LPCWSTR)IDI_APPLICATION);
    m_atom = RegisterClassExW(&m_class);
}

kcWindowClass::~kcWindowClass()
{
    if (m_atom) UnregisterClassW(m_class.lpszClassName, m_class.hInstance);
}
