// The tweak settings: the game's program-wide tuning values and developer switches. Each holds
// its built-in default until start-up applies the "Tweakables" element of "config.xml" once; the
// code whose behaviour a setting tunes reads it under its own name. Main thread only.
#pragma once

namespace base {
class Variant;
}

// TWEAK-SETTINGS: the settings in reading order, each with its type, its reading mode and its
// default. Modes: FLOAT and INT store the number as it is; FLAG is true only for the integer 1;
// BOOL follows the data tree's bool reader (any non-zero integer).
// clang-format off
#define QL_TWEAK_SETTINGS(X) \
  X(float, Animation_PickupSpeed,          FLOAT, 1.6f)  \
  X(float, Animation_ManipulateSpeed,      FLOAT, 2.0f)  \
  X(bool,  Skip_UseFading,                 BOOL,  false) \
  X(float, Skip_Delay,                     FLOAT, 0.2f)  \
  X(bool,  AutoSave_OnUserAction,          FLAG,  false) \
  X(bool,  Dialog_AutoEnd,                 FLAG,  true)  \
  X(bool,  Dialog_TextBubbles,             FLAG,  true)  \
  X(bool,  Editor_LazyCompile,             FLAG,  false) \
  X(float, FunStuff_Kazing,                FLOAT, 0.0f)  \
  X(float, FunStuff_BigHeadMode,           FLOAT, 1.0f)  \
  X(float, FunStuff_Plan9,                 FLOAT, 0.0f)  \
  X(bool,  FunStuff_Slapstick,             FLAG,  false) \
  X(bool,  LOD_SeparateFilesForCharacters, FLAG,  false) \
  X(bool,  Debug_KeysEnabled,              FLAG,  false) \
  X(bool,  Debug_ConnectAID,               FLAG,  false) \
  X(bool,  Debug_DanceDemoMode,            FLAG,  false) \
  X(int,   Debug_ScriptWarningLevel,       INT,   0)     \
  X(int,   TrainTravel_Panic_Timeout,      INT,   300)   \
  X(int,   Wiretap_Panic_Timeout,          INT,   300)   \
  X(int,   Decoder_Panic_Timeout,          INT,   300)   \
  X(int,   Bookshelf_Panic_Timeout,        INT,   300)   \
  X(int,   Sabotage_Panic_Timeout,         INT,   300)   \
  X(int,   Dance_Panic_Timeout,            INT,   20)    \
  X(int,   Dialog_Auto_Align,              INT,   1)     \
  X(bool,  Savegame_WriteXML,              BOOL,  false) \
  X(bool,  Savegame_ReadXML,               BOOL,  false)
// clang-format on

#define QL_DECLARE_TWEAK(type, name, mode, value) extern type name;
QL_TWEAK_SETTINGS(QL_DECLARE_TWEAK)
#undef QL_DECLARE_TWEAK

// Reads the attributes of the "Tweakables" element named like the settings, in table order. A
// missing attribute keeps the setting's value; one that is not a number keeps it too, with a
// warning. Returns whether the last setting (Savegame_ReadXML) was present.
bool ReadTweakSettings(const base::Variant& tweakables);

// Every setting back to its built-in default (tests, and a restart of the configuration).
void ResetTweakSettings();
