// The play files' checks of what a player sees and gets in a scene: the last frame painted
// rather than flat and free of marker dots, every hotspot captioned and answering a click.
#pragma once

#include <map>
#include <set>
#include <string>

// "picture scene": the last frame shows more than 2,000 colours and no magenta pixel.
bool CheckPicture(const std::string& argument, std::string* why);

// A character's face as the game draws it: the point between brows and lower lip on the screen,
// the face's height there (twice brows to lip: forehead and chin make the rest), and how far the
// head turns from the camera (0° full face, 90° profile).
struct st_ScreenFace {
  float x = 0.0f, y = 0.0f, height = 0.0f, degreesOff = 0.0f;
};
// False when the stage has no such character or its figure no face bones.
bool FindScreenFace(const std::string& name, st_ScreenFace& face);
// "NAME PX": NAME's face stands at least PX pixels tall on the screen and shows itself, turned at
// most 70° from the camera (the talk's close-up shows faces, not backs of heads or profiles).
bool CheckFace(const std::string& argument, std::string* why);
// "NAME": a line of NAME runs, and its box with the frame round it covers no face on the screen
// (a face as tall as FindScreenFace measures it and four fifths as wide) and stands nearer NAME's
// face than any other one's: a player takes the nearest face for the speaker's.
bool CheckBubble(const std::string& speaker, std::string* why);

// Which hotspots a click has been answered for, per scene.
class cl_AnswerLog {
 public:
  // "<label>": the click on that hotspot is answered: a line is spoken, a mini-game runs, or
  // another scene is on its way. Meant for "wait check": false until then.
  bool Answered(const std::string& label, std::string* why);
  // "labelled": every hotspot of the scene has a caption (a hotspots.xml entry of type "game"
  // with a display name) and a tooltip text. "answered": a click on every one was answered.
  bool Hotspots(const std::string& argument, std::string* why);

 private:
  std::set<std::string> m_answered;                // "<scene>/<label>"
  std::map<std::string, std::string> m_clickedIn;  // label -> the scene of a click not yet answered
};

