// The game's script functions in binding order: one row per script name with its handler in
// namespace script_bindings, the handler's signature and its state. Scripts and savegames know
// the functions only by name, but the order is the game's binding order and stays as it is.
//
// SCRIPT-FUNCTION-TABLE: the one place that lists the game's script functions. A row's state is
//   READY    the handler is a function of that name and signature in namespace script_bindings,
//            defined by the code of its area;
//   SHARED   the row binds another row's handler under its own name.
#pragma once

// clang-format off
#define QL_SCRIPT_FUNCTION_TABLE(X) \
  X(Sleep,                      Sleep,                      void (float),                                                     READY)   /*   1 */ \
  X(SetAvoidanceRange,          SetAvoidanceRange,          void (float),                                                     READY)   /*   2 */ \
  X(CallScene,                  CallScene,                  void (const char*, const char*),                                  READY)   /*   3 */ \
  X(CallCharacter,              CallCharacter,              void (const char*, const char*),                                  READY)   /*   4 */ \
  X(LockPlayer,                 LockPlayer,                 void (KRX::t_Interface&),                                         READY)   /*   5 */ \
  X(LockDialog,                 LockDialog,                 void (KRX::t_Interface&),                                         READY)   /*   6 */ \
  X(AllowSkip,                  AllowSkip,                  void (KRX::t_Interface&),                                         READY)   /*   7 */ \
  X(AllowCancel,                AllowCancel,                void (KRX::t_Interface&),                                         READY)   /*   8 */ \
  X(LockMovement,               LockMovement,               void (KRX::t_Interface&),                                         READY)   /*   9 */ \
  X(BeginCutscene,              BeginCutscene,              void (),                                                          READY)   /*  10 */ \
  X(EndCutscene,                EndCutscene,                void (),                                                          READY)   /*  11 */ \
  X(IsDialog,                   IsDialog,                   bool (),                                                          READY)   /*  12 */ \
  X(StopSkip,                   StopSkip,                   void (),                                                          READY)   /*  13 */ \
  X(AddOverlay,                 AddOverlay,                 void (KRX::t_Interface&),                                         READY)   /*  14 */ \
  X(AddDustOverlay,             AddDustOverlay,             void (const char*, int),                                          READY)   /*  15 */ \
  X(ShowToken,                  ShowToken,                  void (const char*, bool),                                         READY)   /*  16 */ \
  X(HideToken,                  HideToken,                  void (const char*, bool),                                         READY)   /*  17 */ \
  X(StartEffect,                StartEffect,                void (const char*, float),                                        READY)   /*  18 */ \
  X(ShowImage,                  ShowImage,                  void (const char*, float, float, float),                          READY)   /*  19 */ \
  X(AddCharacter,               AddCharacter,               void (const char*, const char*, const char*),                     READY)   /*  20 */ \
  X(RemoveCharacter,            RemoveCharacter,            void (const char*),                                               READY)   /*  21 */ \
  X(SetPlayerCharacter,         SetPlayerCharacter,         void (const char*),                                               READY)   /*  22 */ \
  X(CharacterExists,            CharacterExists,            int (const char*),                                                READY)   /*  23 */ \
  X(SetAnimationSpeed,          SetAnimationSpeed,          void (const char*, const char*, float),                           READY)   /*  24 */ \
  X(AttachObject,               AttachObject,               void (const char*, const char*, const char*, const char*, float), READY)   /*  25 */ \
  X(DetachObject,               DetachObject,               void (const char*, const char*),                                  READY)   /*  26 */ \
  X(BeamTo,                     BeamTo,                     void (KRX::t_Interface&),                                         READY)   /*  27 */ \
  X(BackupPosition,             BackupPosition,             void (const char*),                                               READY)   /*  28 */ \
  X(RestorePosition,            RestorePosition,            void (const char*),                                               READY)   /*  29 */ \
  X(WalkNear,                   WalkNear,                   void (KRX::t_Interface&),                                         READY)   /*  30 */ \
  X(WalkTo,                     WalkTo,                     void (KRX::t_Interface&),                                         READY)   /*  31 */ \
  X(TurnTo,                     TurnTo,                     void (KRX::t_Interface&),                                         READY)   /*  32 */ \
  X(TurnToNoWait,               TurnToNoWait,               float (const char*, float),                                       READY)   /*  33 */ \
  X(AlignTo,                    AlignTo,                    void (const char*, float),                                        READY)   /*  34 */ \
  X(GetDirectionToCamera,       GetDirectionToCamera,       float (const char*),                                              READY)   /*  35 */ \
  X(GetDirectionTo,             GetDirectionTo,             float (const char*, const char*),                                 READY)   /*  36 */ \
  X(GetDirectionOf,             GetDirectionOf,             float (const char*),                                              READY)   /*  37 */ \
  X(TranslateCameraRelative,    TranslateCameraRelative,    void (const char*, float, float, float),                          READY)   /*  38 */ \
  X(Transit,                    Transit,                    void (KRX::t_Interface&),                                         READY)   /*  39 */ \
  X(PlayAnimationNoWait,        PlayAnimationNoWait,        float (KRX::t_Interface&),                                        READY)   /*  40 */ \
  X(PlayAnimation,              PlayAnimation,              void (KRX::t_Interface&),                                         READY)   /*  41 */ \
  X(SetDefaultAnimation,        SetDefaultAnimation,        void (KRX::t_Interface&),                                         READY)   /*  42 */ \
  X(SyncIdle,                   SyncIdle,                   void (const char*),                                               READY)   /*  43 */ \
  X(StartDialog,                StartDialog,                void (KRX::t_Interface&),                                         READY)   /*  44 */ \
  X(Says,                       Says,                       float (KRX::t_Interface&),                                        READY)   /*  45 */ \
  X(EndDialog,                  EndDialog,                  void (),                                                          READY)   /*  46 */ \
  X(AcquireToken,               AcquireToken,               void (KRX::t_Interface&),                                         READY)   /*  47 */ \
  X(TimesTokenBeenUsedOn,       TimesTokenBeenUsedOn,       int (KRX::t_Interface&),                                          READY)   /*  48 */ \
  X(GetTokenCnt,                GetTokenCnt,                int (const char*),                                                READY)   /*  49 */ \
  X(GotToken,                   GotToken,                   int (const char*),                                                READY)   /*  50 */ \
  X(LooseToken,                 LooseToken,                 void (KRX::t_Interface&),                                         READY)   /*  51 */ \
  X(UseToken,                   UseToken,                   void (KRX::t_Interface&),                                         READY)   /*  52 */ \
  X(SetLayerState,              SetLayerState,              void (KRX::t_Interface&),                                         READY)   /*  53 */ \
  X(SetHotspotState,            SetHotspotState,            void (KRX::t_Interface&),                                         READY)   /*  54 */ \
  X(Fade,                       Fade,                       void (KRX::t_Interface&),                                         READY)   /*  55 */ \
  X(GetValue,                   GetValue,                   KRX::Var (KRX::t_Interface&),                                     READY)   /*  56 */ \
  X(SetValue,                   SetValue,                   void (KRX::t_Interface&),                                         READY)   /*  57 */ \
  X(Random,                     Random,                     KRX::Var (KRX::t_Interface&),                                     READY)   /*  58 */ \
  X(ZoomIn,                     ZoomIn,                     void (KRX::t_Interface&),                                         READY)   /*  59 */ \
  X(ZoomOut,                    ZoomOut,                    void (),                                                          READY)   /*  60 */ \
  X(ZoomOnCharacter,            ZoomOnCharacter,            void (const char*, float, float, float),                          READY)   /*  61 */ \
  X(Turn,                       Turn,                       void (KRX::t_Interface&),                                         READY)   /*  62 */ \
  X(Stop,                       Stop,                       void (const char*),                                               READY)   /*  63 */ \
  X(StartMinigame,              StartMinigame,              void (KRX::t_Interface&),                                         READY)   /*  64 */ \
  X(DiaryAddSection,            DiaryAddSection,            int (KRX::t_Interface&),                                          READY)   /*  65 */ \
  X(DiaryAddChapter,            DiaryAddChapter,            int (KRX::t_Interface&),                                          READY)   /*  66 */ \
  X(DiaryAddMission,            DiaryAddMission,            int (KRX::t_Interface&),                                          READY)   /*  67 */ \
  X(DiaryAddQuest,              DiaryAddQuest,              int (KRX::t_Interface&),                                          READY)   /*  68 */ \
  X(DiaryAddText,               DiaryAddText,               int (KRX::t_Interface&),                                          READY)   /*  69 */ \
  X(DiaryAddChapterEnd,         DiaryAddChapterEnd,         int (KRX::t_Interface&),                                          READY)   /*  70 */ \
  X(DiaryAddOutro,              DiaryAddOutro,              int (KRX::t_Interface&),                                          READY)   /*  71 */ \
  X(DiaryAddScore,              DiaryAddScore,              int (KRX::t_Interface&),                                          READY)   /*  72 */ \
  X(DiaryAppendText,            DiaryAppendText,            void (KRX::t_Interface&),                                         READY)   /*  73 */ \
  X(DiarySolveQuest,            DiarySolveQuest,            void (KRX::t_Interface&),                                         READY)   /*  74 */ \
  X(DiaryShow,                  DiaryShow,                  void (KRX::t_Interface&),                                         READY)   /*  75 */ \
  X(DiaryBrowseToPage,          DiaryBrowseToPage,          void (KRX::t_Interface&),                                         READY)   /*  76 */ \
  X(DiaryPlayVoiceOverSample,   DiaryPlayVoiceOverSample,   float (KRX::t_Interface&),                                        READY)   /*  77 */ \
  X(RunTextureStrip,            RunTextureStrip,            void (KRX::t_Interface&),                                         READY)   /*  78 */ \
  X(ShowTextureStrip,           ShowTextureStrip,           void (KRX::t_Interface&),                                         READY)   /*  79 */ \
  X(ShowCharacter,              ShowCharacter,              void (KRX::t_Interface&),                                         READY)   /*  80 */ \
  X(HideCharacter,              HideCharacter,              void (KRX::t_Interface&),                                         READY)   /*  81 */ \
  X(ScenePosX,                  ScenePosX,                  float (const char*),                                              READY)   /*  82 */ \
  X(ScenePosY,                  ScenePosY,                  float (const char*),                                              READY)   /*  83 */ \
  X(WalkToNoWait,               WalkToNoWait,               void (KRX::t_Interface&),                                         READY)   /*  84 */ \
  X(SetBlur,                    SetBlur,                    void (bool),                                                      READY)   /*  85 */ \
  X(SFXSetCharacterStepsound,   SFXSetCharacterStepsound,   void (KRX::t_Interface&),                                         READY)   /*  86 */ \
  X(RunInBackground,            RunInBackground,            void (KRX::t_Interface&),                                         READY)   /*  87 */ \
  X(IgnoreCharacter,            IgnoreCharacter,            void (const char*, bool),                                         READY)   /*  88 */ \
  X(AvoidCharacter,             AvoidCharacter,             void (const char*, bool),                                         READY)   /*  89 */ \
  X(PlayFullscreenVideo,        PlayFullscreenVideo,        float (KRX::t_Interface&),                                        READY)   /*  90 */ \
  X(PauseFullscreenVideo,       PauseFullscreenVideo,       void (bool),                                                      READY)   /*  91 */ \
  X(StopFullscreenVideo,        StopFullscreenVideo,        void (),                                                          READY)   /*  92 */ \
  X(AddFullscreenVideoSubtitle, AddFullscreenVideoSubtitle, void (KRX::t_Interface&),                                         READY)   /*  93 */ \
  X(SetLoadingImage,            SetLoadingImage,            void (const char*),                                               READY)   /*  94 */ \
  X(LoadActor,                  LoadActor,                  void (const char*),                                               READY)   /*  95 */ \
  X(LoadDialog,                 LoadDialog,                 void (const char*),                                               READY)   /*  96 */ \
  X(Log,                        Log,                        void (const char*),                                               READY)   /*  97 */ \
  X(GetOptionValue,             GetOptionValue,             float (const char*),                                              READY)   /*  98 */ \
  X(Emote,                      Emote,                      void (KRX::t_Interface&),                                         READY)   /*  99 */ \
  X(ShowSceneSubtitle,          ShowSceneSubtitle,          void (KRX::t_Interface&),                                         READY)   /* 100 */ \
  X(ShowScore,                  ShowScore,                  void (KRX::t_Interface&),                                         READY)   /* 101 */ \
  X(SetTooltip,                 SetTooltip,                 void (KRX::t_Interface&),                                         READY)   /* 102 */ \
  X(SetCustomTextBubblePos,     SetCustomTextBubblePos,     void (KRX::t_Interface&),                                         READY)   /* 103 */ \
  X(SetElaborateTooltip,        SetElaborateTooltip,        void (KRX::t_Interface&),                                         READY)   /* 104 */ \
  X(SetCursor,                  SetCursor,                  void (KRX::t_Interface&),                                         READY)   /* 105 */ \
  X(WaitForGUI,                 WaitForGUI,                 void (KRX::t_Interface&),                                         READY)   /* 106 */ \
  X(RefreshTokens,              RefreshTokens,              void (),                                                          READY)   /* 107 */ \
  X(SetLookOffset,              SetLookOffset,              void (const char*, float, float),                                 READY)   /* 108 */ \
  X(Gaze,                       Gaze,                       void (const char*, const char*, float),                           READY)   /* 109 */ \
  X(Look,                       Look,                       void (const char*, const char*, float),                           READY)   /* 110 */ \
  X(GameOver,                   GameOver,                   void (),                                                          READY)   /* 111 */ \
  X(SetPropertyFloat,           SetPropertyFloat,           void (const char*, const char*, float),                           READY)   /* 112 */ \
  X(GetPropertyFloat,           SetPropertyFloat,           void (const char*, const char*, float),                           SHARED) /* 113 */ \
  X(MasterHackHideMouseCursor,  MasterHackHideMouseCursor,  void (bool),                                                      READY)   /* 114 */ \
  /* end of SCRIPT-FUNCTION-TABLE */
// clang-format on
