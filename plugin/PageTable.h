#pragma once
// The sheet's pages in tab order: template, procedure and when the page is shown.
#include <windows.h>

enum gx7PageShown { GX7_SHOWN_ALWAYS, GX7_SHOWN_TWO_3D_PAGES, GX7_SHOWN_ONE_3D_PAGE };

struct gx7PageEntry {
    int templateId;
    DLGPROC procedure;
    gx7PageShown shown;
};

// Nine entries; entry 0 is the page the sheet is created with.
const gx7PageEntry* gx7PageTable();
// Whether page `index` is part of a sheet whose game definition has this "CONFIG_B"/"view3d".
bool gx7PageIsShown(int index, int view3d);
