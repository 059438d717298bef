// GameContext: the parts that the board, its pieces and the game share, all
// owned elsewhere (by the program-wide record of the shell, or by a test).
#pragma once

class AnimWindow;
class Game;
class GameScreens;
class GraphicsSet;
class SoundSet;
struct HighScoreTable;
struct PieceGenerator;

// Timed events on the window clock: (frame, type, data).
enum GameEvent {
    kEventButtonPress = 0,  // data: press step 1 to 8
    kEventStartFalling = 1, // data: piece object
    kEventVanishStep = 2,   // data: piece object
    kEventAppearStep = 3,   // data: piece object
    kEventLevelPlay = 4,
    kEventNextLevel = 5,
    kEventDeleteObject = 6 // data: animation object (pop-ups)
};

struct GameContext {
    AnimWindow* window;
    const GraphicsSet* graphics;
    SoundSet* sounds;           // null: silent
    GameScreens* screens;       // null: no screens around the rules
    HighScoreTable* highScores; // null: scores are not kept
    PieceGenerator* generator;
    Game* game; // set while the Game exists
};
