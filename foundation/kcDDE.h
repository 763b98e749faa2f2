#pragma once
// Named data blocks served to and fetched from other processes over DDEML, on the fixed topic
// "KCDDE_TOPIC". Service and item names are narrow code-page-932 texts.
#include <windows.h>
#include <ddeml.h>
#include <vector>

// Produces an item on request: *data from kcHeapAlloc (kcDDE releases it), *bytes its size.
typedef int(__stdcall* kcDdeItemCallback)(void* userData, const wchar_t* itemName, void** data,
                                         unsigned* bytes);

class kcDDE {
public:
    kcDDE();
    ~kcDDE();

    int CreateServer(const char* service);
    int Connect(const char* service);
    int RegisterItem(const char* item, kcDdeItemCallback callback, void* userData);
    // Withdraws every item registered with this user data (an owner being destroyed); how many.
    int WithdrawItems(const void* userData);
    // Copies the item into buffer only when its size lies within minBytes..maxBytes.
    int GetServerData(const char* item, void* buffer, unsigned maxBytes, const char* service,
                      unsigned minBytes = 0);
    void Shutdown();

    int IsActive() const { return m_active; }
    static kcDDE* Instance();
    static HDDEDATA CALLBACK OnTransaction(UINT type, UINT format, HCONV conv, HSZ hsz1, HSZ hsz2,
                                           HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);

private:
    kcDDE(const kcDDE&) = delete;
    kcDDE& operator=(const kcDDE&) = delete;

    struct Item {
        void* userData;
        HSZ name;
        kcDdeItemCallback callback;
    };
    struct Connection {
        HSZ service;
        HCONV conv;
    };

    HSZ CreateName(const char* sjis);
    bool NameEquals(HSZ handle, const wchar_t* text);
    bool NameEquals(HSZ a, HSZ b);
    HDDEDATA AnswerRequest(HSZ topic, HSZ item);

    int m_active;
    DWORD m_instance;
    HSZ m_topic;
    std::vector<Item> m_items;
    std::vector<HSZ> m_services;
    std::vector<Connection> m_connections;
};
