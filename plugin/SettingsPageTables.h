#pragma once
// Each settings page's table of bound controls and reset values (read by the pages and by
// the checks that every key names a setting).
#include "plugin/kcPageTable.h"

const kcPageTable& GeneralPageTable();
const kcPageTable& Display1PageTable();
const kcPageTable& Display2PageTable();
const kcPageTable& Direct3D1PageTable();
const kcPageTable& Direct3D2PageTable();
const kcPageTable& Direct3DPageTable();
const kcPageTable& SoundOtherPageTable();
const kcPageTable& EnvironmentPageTable();
