#include "config/kcSettingPlans.h"

#include <cstring>
#include <mutex>

namespace {

#define K(key) {KCSTEP_KEY, 0, 0, key, nullptr}
#define K2(key) {KCSTEP_KEY, 0, 1, key, nullptr}
#define ROWS(n, rule) {KCSTEP_ROWS, n, rule, nullptr, nullptr}
#define SP(code) {KCSTEP_SPECIAL, 0, code, nullptr, nullptr}

kcSettingStep kStartup1[] = {
    K("VERSION/ini"), K("SCREEN/v_width"), K("SCREEN/v_height"), SP(KCS_CURRENT_FROM_VIRTUAL),
    ROWS(2, KCS_NONE), K("SCREEN/list/type%d/w"), K("SCREEN/list/type%d/h"),
    K("APP/brand"), K("APP/title"), K("APP/mutex"), K("APP/mutex_cfg"), K("APP/v_code"),
    K("SCREEN/no_skip"), K("VERSION/major"), K("VERSION/minor"), K("WEB/url"), K("ETC/heap"),
    K("CURSOR/type"), K("CURSOR/change"), K("CURSOR/default"), K("CURSOR/hx"), K("CURSOR/hy"),
    SP(KCS_FOLDERS),
    K("APP/icon"), K("APP/iconno"), K("APP/banner"), K("INFO/file"), SP(KCS_INFO_COMMENT),
    K("TEXTURE/size/x"), K("TEXTURE/size/y"), K("TEXTURE/vt/x"), K("TEXTURE/vt/y"),
    ROWS(4, KCS_NONE), K("TEXTURE/area%02d/sx"), K("TEXTURE/area%02d/sy"), K("TEXTURE/area%02d/dx"), K("TEXTURE/area%02d/dy"),
    K("TEXTURE/bpp32y"), K("TEXTURE/bpp16y"),
    K("SHADER/VERTEX_MA"), K("SHADER/VERTEX_MI"), K("SHADER/PIXEL_MA"), K2("SHADER/PIXEL_MA"),
    K("INT/need%02d"),
    ROWS(4, KCS_NONE), K("INT/int%02d/int"), K("INT/int%02d/ext"), K("INT/int%02d/dir"), K("INT/int%02d/name"),
    K("FOLDER/default"), K("MANUAL/path"), SP(KCS_MANUAL_FLAG),
    K("CONFIG_B/mode"), K("CONFIG_B/key"), K("CONFIG_B/snd"), K("CONFIG_B/eff"), K("CONFIG_B/wnd"),
    K("CONFIG_B/mes"), K("CONFIG_B/font"), K("CONFIG_B/sysv"), K("CONFIG_B/sysconfig"), K("CONFIG_B/autoselect"),
    K("CONFIG_B/smp_wndalpha"), K("CONFIG_B/wnd_alpha"), K("CONFIG_B/view3d"),
    K("GAME/enabledrag"), K("GAME/strframe_count"), K("GAME/strframe_frame"), K("GAME/autoframe_count"),
    K("GAME/disp_frame"), K("GAME/enablefullskip"),
    ROWS(2, KCS_NONE), K("GAME/autopriset/p%02d/base"), K("GAME/autopriset/p%02d/char"),
    SP(KCS_PRESET_TO_MESSAGE),
    K("SCRIPT/start"), // not in the original order; it sits beside the sound-group rows in the record
    ROWS(4, KCR_SOUNDGROUP_USED), K("SOUNDGROUP/group%02d/type"), K("SOUNDGROUP/group%02d/id"),
    K("SOUNDGROUP/group%02d/min"), K("SOUNDGROUP/group%02d/max"),
    K("SCENELIST/convert/current"), K("SCENELIST/convert/command"), K("SCENELIST/convert/param"),
    K("GAME/log/type"), K("GAME/log/col"), K("GAME/log/prof"), K("GAME/log/nameline"),
    K("GAME/log/nameformat/first"), K("GAME/log/nameformat/last"), K("GAME/log/indent"),
    K("GAME/log/nameindent"), K("GAME/log/disp/mes"), K("GAME/log/disp/name"), K("GAME/log/space"),
    K("GAME/log/escape"), K("GAME/log/static"), K("GAME/log/cr_next"),
    K("SCREEN/frameimg"), K("APP/direct"), K("GAME/flag/max"),
    ROWS(2, KCS_NONE), K("GAME/flag/local%d/start"), K("GAME/flag/local%d/count"),
    ROWS(2, KCS_NONE), K("GAME/flag/global%d/start"), K("GAME/flag/global%d/count"),
    K("APP/use_ps"), K("APP/touch"), K("APP/render_always"), SP(KCS_SCRIPT_REPLACE), K("APP/tweet"),
    K("language/default"), SP(KCS_LANGUAGES), K("language/enable_sub"), K("language/OPTTABLE"),
    K("GAME/cgregmode"), K("APP/utfmode"), K("APP/ttstable"), K("SCREEN/forcewindow"), K("APP/dontsave"),
};

kcSettingStep kStartup2[] = {
    K("GENERAL/screensaver"), K("GENERAL/camouflage"), K("SCREEN/width"), K("SCREEN/height"),
    SP(KCS_FULL_MATCH), K("SCREEN/limit"), K("SCREEN/fps"), K("ETC/cache"),
    K("TEXTURE/bpp"), K("TEXTURE/filter_min"), K("TEXTURE/filter_mag"), K("TEXTURE/dither"),
    K("SOUND/use3d"), K("SOUND/sticky"), K("APP/imgcache"), K("APP/dualcore"), K("APP/wndmenu"),
    K("SCREEN/full_size"), K("SCREEN/full_pos"), K("SCREEN/mw_pos"), K("SCREEN/wall"), K("SCREEN/no_full_res"),
    K("CURSOR/mode"),
};

kcSettingStep kStartup3[] = {
    SP(KCS_FONTS), K("FONT/shadow/rightdown"), K("FONT/shadow/around"), K("ETC/dragwnd"), SP(KCS_JOYPAD_OFF),
    ROWS(10, KCR_KEY_NAMED), K("KEYCUSTOMIZE/key%02d/name"), K("KEYCUSTOMIZE/key%02d/keyboard%d"),
    K("KEYCUSTOMIZE/key%02d/mouse%d"), K("KEYCUSTOMIZE/key%02d/joypad%d"), K("KEYCUSTOMIZE/key%02d/touch%d"),
    K("KEYCUSTOMIZE/key%02d/rep_keyboard%d"), K("KEYCUSTOMIZE/key%02d/rep_mouse%d"),
    K("KEYCUSTOMIZE/key%02d/rep_joypad%d"), K("KEYCUSTOMIZE/key%02d/rep_touch%d"), K("KEYCUSTOMIZE/key%02d/hide"),
    SP(KCS_SOUNDCONFIG),
    ROWS(5, KCR_VOICE_ROW), K("VOICE/v%02d/voice"), K("VOICE/v%02d/mastervol"), K("VOICE/v%02d/head"),
    K("VOICE/v%02d/group"), K("VOICE/v%02d/int"),
    K("VOICE/vol/bgm"), K("VOICE/vol/play"), K("VOICE/vol/se"), K("VOICE/vol/voice"), K("VOICE/vol/master"),
    SP(KCS_WNDCOLOR),
    ROWS(3, KCS_NONE), K("SYSTEMVOICE/ch%02d/name"), K("SYSTEMVOICE/ch%02d/play"), K("SYSTEMVOICE/ch%02d/int"),
    K("GAME/read/color"), K("GAME/read/enable"), K("GAME/skipspeed"), K("GAME/log/limit"), K("GAME/string/wipe"),
    K("GAME/ctrlmode"), K("GAME/autoleft"), K("GAME/readsel/enable"), K("GAME/autoselect"),
};

#define KEY_SLOTS(rule) \
    ROWS(6, rule), K("KEY/kb%d_%02d"), K("KEY/ms%d_%02d"), K("KEY/jp%d_%02d"), K("KEY/kb%dr_%02d"), \
        K("KEY/ms%dr_%02d"), K("KEY/jp%dr_%02d")

kcSettingStep kReadSystem[] = {
    K("WINDOW/width"), K("WINDOW/height"), SP(KCS_FULL_HAS),
    K("WINDOW/fps"), K("WINDOW/mode"), K("WINDOW/bpp"), K("WINDOW/limit"),
    K("TEXTURE/bpp"), K("TEXTURE/min"), K("TEXTURE/mag"), K("TEXTURE/dither"),
    K("SOUND/ds3d"), K("SOUND/sticky"), K("SOUND/stereo"), K("WINDOW/fullscreen"), K("WINDOW/setmode"),
    K("ETC/imgcache"), K("ETC/dualcore"), K("ETC/disablemovie"), K("ETC/disablepixelshader"),
    K("ETC/waitd3dcommand"), K("ETC/picture"), K("ETC/export"), K("ETC/imgimport"), K("DEPEND/gdi_cap"),
    K("WINDOW/cursor_mode"), K("WINDOW/screensaver"), K("WINDOW/camouflage"), K("WINDOW/out_info"),
    K("D3D/backbuffer"), K("D3D/hardTnL"), K("D3D/light"), K("D3D/vsync"), K("D3D/antialias"),
    K("D3D/fogtype"), K("D3D/tex_size"), K("D3D/tex_comp"),
    SP(KCS_USE_SIZE),
    K("FULL_SCREEN/full_size"), K("FULL_SCREEN/full_pos"), K("FULL_SCREEN/mw_pos"), K("FULL_SCREEN/wall"),
    K("FULL_SCREEN/no_full_res"),
    K("language/id/UI"), K("language/id/main"), K("language/id/sub"), SP(KCS_LANGUAGE_CLAMP),
    K("TTS/id"), K("TTS/speed"), K("TTS/tone"),
};

kcSettingStep kReadUser1[] = {
    K("CONFIG/type"), SP(KCS_USER_FONTS),
    K("FONT/shadow/rightdown"), K("FONT/shadow/around"), K("FONT/bold"), K("FONT/proportional"), K("FONT/fixed"),
    K("KEY/enable_joypad"), KEY_SLOTS(KCR_NAMED_ONLY),
};

kcSettingStep kReadUser2[] = {
    K("VOICE/vol_bgm"), K("VOICE/vol_se"), K("VOICE/vol_voice"), K("VOICE/vol_play"), K("VOICE/vol_master"),
    K("VOICE/play%02d"), K("VOICE/cont_voice"), K("VOICE/mute_master"), K("VOICE/mute_bgm"), K("VOICE/mute_se"),
    K("VOICE/mute_voice"), K("VOICE/mute_play"),
    K("MESSAGE/speed"), K("MESSAGE/auto_p"), K("MESSAGE/base"), K("MESSAGE/CHAR"), K("MESSAGE/ind"),
    K("MESSAGE/cont"), K("MESSAGE/still"), K("MESSAGE/waitpcm"), K("MESSAGE/skip_full"), K("MESSAGE/log_limit"),
    K("EFFECT/speed"), K("EFFECT/help"), K("EFFECT/auto_c"), K("EFFECT/auto_cd"), K("EFFECT/auto_cds"),
    K("EFFECT/dramatic"), K("EFFECT/skipdraw"), K("EFFECT/skipmot"),
    K("GAME/wndcolor"), K("GAME/enabledrag"), K("GAME/drawwnd"), K("SYSTEMVOICE/play%02d"),
    K("MESSAGE/enable_read"), K("MESSAGE/read_color"), K("MESSAGE/skipspeed"), K("MESSAGE/contskip"),
    K("MESSAGE/wipe"), K("MESSAGE/ctrlmode"), K("MESSAGE/autoleft"), K("MESSAGE/enable_read_sel"),
    K("GAME/autoselect"), K("GAME/always_active"), K("GAME/enable_scene_anm"), K("GAME/use_scene_skip"),
    K("GAME/use_jtalk"),
};

kcSettingStep kWriteSystem[] = {
    K("WINDOW/width"), K("WINDOW/height"), K("WINDOW/full_width"), K("WINDOW/full_height"), K("WINDOW/fps"),
    K("WINDOW/mode"), K("WINDOW/bpp"), K("WINDOW/full_wide"), K("WINDOW/limit"),
    K("TEXTURE/bpp"), K("TEXTURE/min"), K("TEXTURE/mag"), K("TEXTURE/dither"),
    K("SOUND/ds3d"), K("SOUND/sticky"), K("SOUND/stereo"),
    K("WINDOW/cursor_mode"), K("WINDOW/screensaver"), K("WINDOW/camouflage"), K("WINDOW/out_info"),
    K("ETC/cache"), K("ETC/imgcache"), K("ETC/dualcore"), K("ETC/disablemovie"), K("ETC/picture"),
    K("ETC/export"), K("ETC/imgimport"),
    K("DEPEND/gdi_cap"), K("DEPEND/z32"), K("DEPEND/use_z"),
    K("D3D/backbuffer"), K("D3D/hardTnL"), K("D3D/light"), K("D3D/vsync"), K("D3D/antialias"),
    K("D3D/fogtype"), K("D3D/tex_size"), K("D3D/tex_comp"),
    K("WINDOW/fullscreen"), K("WINDOW/setmode"),
    K("FULL_SCREEN/full_size"), K("FULL_SCREEN/full_pos"), K("FULL_SCREEN/mw_pos"), K("FULL_SCREEN/wall"),
    K("ETC/disablepixelshader"), K("ETC/waitd3dcommand"), K("FULL_SCREEN/no_full_res"),
    K("language/id/UI"), K("language/id/main"), K("language/id/sub"),
    K("TTS/id"), K("TTS/speed"), K("TTS/tone"),
};

kcSettingStep kWriteUser[] = {
    K("CONFIG/type"),
    K("FONT/face"), K("FONT/faceruby"), K("FONT/shadow/rightdown"), K("FONT/shadow/around"), K("FONT/bold"),
    K("FONT/proportional"), K("FONT/fixed"),
    K("KEY/enable_joypad"), KEY_SLOTS(KCR_NAMED_ONLY),
    K("VOICE/vol_bgm"), K("VOICE/vol_se"), K("VOICE/vol_voice"), K("VOICE/vol_play"), K("VOICE/vol_master"),
    K("VOICE/play%02d"), K("VOICE/cont_voice"), K("VOICE/mute_master"), K("VOICE/mute_bgm"), K("VOICE/mute_se"),
    K("VOICE/mute_voice"), K("VOICE/mute_play"),
    K("MESSAGE/speed"), K("MESSAGE/auto_p"), K("MESSAGE/base"), K("MESSAGE/CHAR"), K("MESSAGE/ind"),
    K("MESSAGE/cont"), K("MESSAGE/still"), K("MESSAGE/waitpcm"), K("MESSAGE/skip_full"), K("MESSAGE/log_limit"),
    K("MESSAGE/ctrlmode"), K("MESSAGE/autoleft"),
    K("EFFECT/speed"), K("EFFECT/skipdraw"), K("EFFECT/help"), K("EFFECT/auto_c"), K("EFFECT/auto_cd"),
    K("EFFECT/auto_cds"), K("EFFECT/dramatic"), K("EFFECT/skipmot"),
    K("GAME/wndcolor"), K("GAME/enabledrag"), K("GAME/drawwnd"),
    K("SYSTEMVOICE/play%02d"),
    K("MESSAGE/enable_read"), K("MESSAGE/read_color"), K("MESSAGE/skipspeed"), K("MESSAGE/contskip"),
    K("MESSAGE/wipe"), K("MESSAGE/enable_read_sel"),
    K("GAME/autoselect"), K("GAME/always_active"), K("GAME/enable_scene_anm"), K("GAME/use_scene_skip"),
    K("GAME/use_jtalk"),
};

struct PlanRef {
    kcSettingStep* steps;
    int count;
    bool user;
};
#define PLAN(a, user) {a, (int)(sizeof a / sizeof a[0]), user}
PlanRef kPlans[KCPLAN_COUNT] = {
    PLAN(kStartup1, false), PLAN(kStartup2, false), PLAN(kStartup3, false), PLAN(kReadSystem, true),
    PLAN(kReadUser1, true), PLAN(kReadUser2, true), PLAN(kWriteSystem, true), PLAN(kWriteUser, true),
};

// The setting whose key in the plan's file is exactly `key`; `occurrence` skips earlier ones.
const kcSetting* Resolve(const char* key, bool user, int occurrence)
{
    int n = 0;
    const kcSetting* t = kcSettingTable(&n);
    for (int i = 0; i < n; ++i) {
        const char* k = user ? t[i].userKey : t[i].gameKey;
        if (k && strcmp(k, key) == 0 && occurrence-- == 0) return &t[i];
    }
    return nullptr;
}

bool g_resolvedOk = true;

void ResolveAll()
{
    for (PlanRef& p : kPlans)
        for (int i = 0; i < p.count; ++i)
            if (p.steps[i].op == KCSTEP_KEY) {
                p.steps[i].setting = Resolve(p.steps[i].key, p.user, p.steps[i].code);
                if (!p.steps[i].setting) g_resolvedOk = false;
            }
}

} // namespace

const kcSettingStep* kcSettingPlan(kcPlan plan, int* count)
{
    static std::once_flag once;
    std::call_once(once, ResolveAll);
    if (plan < 0 || plan >= KCPLAN_COUNT || !g_resolvedOk) return nullptr;
    if (count) *count = kPlans[plan].count;
    return kPlans[plan].steps;
}

bool kcSettingPlanIsUser(kcPlan plan)
{
    return plan >= 0 && plan < KCPLAN_COUNT && kPlans[plan].user;
}
