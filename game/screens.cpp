// The screen table and the presentation's process-wide records.
#include "game/screens.h"

#include "game/menus.h"
#include "game/screen_flow.h"

LoopRecord Loop;
MenuRecord Menus;
ScreenState GameState = ScreenState::StudioSplash;

namespace {

using M = MenuRecord;
constexpr Navigation kNoKeys = Navigation::NoKeys;

// One row per screen, in the order of the Screen values.
const ScreenEntry kScreens[kScreenCount] = {
    // name, picture, panel, placed, slide counter, music,
    // navigation, highlight, last entry, render, held keys, clock, M key, Return, Escape, Space
    {"studio splash", Backdrop::StudioLogo, kNoSprite, PanelAt::NoPanel, nullptr, MenuMusic,
     kNoKeys, nullptr, 0, nullptr, HeldKeys::NoAction, false, true, nullptr, LeaveStudioSplash, LeaveStudioSplash},
    {"title splash", Backdrop::TitleScreen, kNoSprite, PanelAt::NoPanel, nullptr, MenuMusic,
     kNoKeys, nullptr, 0, nullptr, HeldKeys::NoAction, false, true, nullptr, LeaveTitleSplash, LeaveTitleSplash},
    {"main menu", Backdrop::TitleScreen, SpriteMainMenu, PanelAt::SlidingIn, &M::MainMenuSlide, MenuMusic,
     Navigation::UpDown, &M::MainMenuChoice, kMenuQuit, RenderMainMenu, HeldKeys::NoAction, false, true,
     ConfirmMainMenu, EndGame, nullptr},
    {"level select", Backdrop::TitleScreen, kNoSprite, PanelAt::Carousel, nullptr, MenuMusic,
     kNoKeys, nullptr, 0, nullptr, HeldKeys::Carousel, false, true, ConfirmLevelSelect, ToMainMenuWithSlide, nullptr},
    {"credits", Backdrop::TitleScreen, SpriteCredits, PanelAt::SlidingIn, &M::CreditsSlide, MenuMusic,
     kNoKeys, nullptr, 0, nullptr, HeldKeys::NoAction, false, true, ConfirmCredits, ToMainMenuWithSlide, nullptr},
    {"settings", Backdrop::TitleScreen, SpriteSettingsPanel, PanelAt::SlidingIn, &M::SettingsSlide, MenuMusic,
     Navigation::Settings, nullptr, 0, nullptr, HeldKeys::NoAction, false, false, ConfirmSettings, ToMainMenuWithSlide,
     nullptr},
    {"quit question", Backdrop::TitleScreen, SpriteQuitQuestion, PanelAt::SlidingIn, &M::QuitSlide, MenuMusic,
     Navigation::LeftRight, &M::QuitChoice, kQuitNo, RenderQuitQuestion, HeldKeys::NoAction, false, true, ConfirmQuit,
     ToMainMenuWithSlide, nullptr},
    {"playing", Backdrop::PlayScreen, kNoSprite, PanelAt::NoPanel, nullptr, GameMusic,
     kNoKeys, nullptr, 0, nullptr, HeldKeys::Moves, true, true, nullptr, PauseLevel, nullptr},
    {"in-game menu", Backdrop::PlayScreen, SpriteInGameMenu, PanelAt::Centred, nullptr, GameMusic,
     Navigation::UpDown, &M::InGameChoice, kInGameQuit, RenderInGameMenu, HeldKeys::NoAction, false, true,
     ConfirmInGameMenu, ResumeLevel, nullptr},
    {"in-game settings", Backdrop::PlayScreen, SpriteSettingsPanel, PanelAt::Centred, &M::SettingsSlide, GameMusic,
     Navigation::Settings, nullptr, 0, nullptr, HeldKeys::NoAction, false, false, ConfirmSettings, ToInGameMenu, nullptr},
    {"in-game quit question", Backdrop::PlayScreen, SpriteQuitQuestion, PanelAt::Centred, &M::QuitSlide, GameMusic,
     Navigation::LeftRight, &M::QuitChoice, kQuitNo, RenderQuitQuestion, HeldKeys::NoAction, false, true, ConfirmQuit,
     ToInGameMenu, nullptr},
    {"level complete", Backdrop::PlayScreen, SpriteLevelComplete, PanelAt::Centred, nullptr, GameMusic,
     Navigation::LeftRight, &M::CompleteChoice, kCompleteNext, RenderLevelComplete, HeldKeys::NoAction, false, true,
     ConfirmLevelComplete, LeaveFinishedLevel, nullptr},
    {"game complete", Backdrop::PlayScreen, SpriteGameComplete, PanelAt::Centred, nullptr, GameMusic,
     kNoKeys, nullptr, 0, nullptr, HeldKeys::NoAction, false, true, LeaveFinishedLevel, LeaveFinishedLevel,
     LeaveFinishedLevel},
};

}  // namespace

const ScreenEntry& ScreenOf(ScreenState screen) { return kScreens[static_cast<int>(screen)]; }
