#pragma once
// Every text the program itself shows, as code page 932 bytes, so that the
// menu reads the same whatever the build machine's or the editor's encoding.

// 開始(&S)
constexpr char kMenuStart[] = "\x8A" "J\x8E" "n(&S)";
// 停止(&T)
constexpr char kMenuStop[] = "\x92\xE2\x8E~(&T)";
// 終了(&X)
constexpr char kMenuExit[] = "\x8F" "I\x97\xB9(&X)";
// ヘルプ(&H)...
constexpr char kMenuHelp[] = "\x83w\x83\x8B\x83v(&H)...";
// バージョン情報(&A)...
constexpr char kMenuAbout[] = "\x83o\x81[\x83W\x83\x87\x83\x93\x8F\xEE\x95\xF1(&A)...";
// 設定(&P)...
constexpr char kMenuSettings[] = "\x90\xDD\x92\xE8(&P)...";
