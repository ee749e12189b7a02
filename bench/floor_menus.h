// What both start-up floors (Qt and Win32) share with the program's main
// window: its client size and its menu bar, captions and items as it has them.
#pragma once

namespace bench::floor
{

// The program's client area, in twips.
constexpr int kClientWidthTwips = 6390;
constexpr int kClientHeightTwips = 5820;

struct MenuEntry
{
    const char* caption;  // UTF-8
    bool item;            // an item of the last bar entry before it, else a bar entry
};

// A bar entry followed by no items is a bare entry that opens nothing.
constexpr MenuEntry kMenus[] = {
    {"ファイル(&F)", false},
    {"終了(&X)", true},
    {"編集(&E)", false},
    {"読み込み(&R)", false},
    {"コンフィグレジスタ(&C)", true},
    {"モードレジスタ(&M)", true},
    {"EEPROM(&E)", true},
    {"ヘルプ(&H)", false},
    {"バージョン情報(&A)", true},
};

}  // namespace bench::floor
