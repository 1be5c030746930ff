// The checks a .play file can name ("check NAME ARGUMENT"), built into every play driver so that a
// file runs the same in the program (QUILLANE_INPUT) as in a test:
//   loadingbar                   the loading screen's bar where its rule puts it, drawn as the bar draws
//   quitbox open|closed          the frame's quit confirmation
//   rootmenu fade V | theme pending|playing | box open|closed | credits playing|ended | quitting
//            | refresh           the root menu's state (see PlayChecks.cpp)
//   session bar A B | black | lit | trigger OBJECT | dialogue open|closed | diary open|closed
//            | still | video | give TOKEN | title | leave mainmenu
//   speech SPEAKER               a line of the speaker runs and moves the lips
//   face NAME PX                 the character's face stands at least PX pixels tall on the screen
//   bubble SPEAKER               a line of the speaker runs, its box covers no face on the screen
//                                and stands nearer the speaker's than any other
//   said KEY                     the line of that key runs ("mina0_7": '#' starts a comment)
//   savegame SLOT saved|loaded   the user's savegame against its side file, or the running game
//   callbacks SCENE F...         the scene script's trace lines for F..., in that order, each once
//   log TEXT                     the log since the start holds TEXT
//   stage characters N...        exactly these characters stand on the stage, in this order
//   stage threads N              N script threads run (the story's sequences and background walks)
//   picture scene                the last frame is painted (over 2,000 colours) and has no magenta
//   hotspots labelled|answered   every hotspot of the scene is captioned, or was answered a click
//   answered LABEL               a click on the hotspot was answered (a line, a game, a transit)
#pragma once

class cl_PlayDriver;

// Registers the checks above with the driver (a host may add its own beside them).
void AddPlayChecks(cl_PlayDriver& driver);
