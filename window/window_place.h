#pragma once
// Where a window goes on the screen, and its remembered place as text in the settings
// ("WindowPlace": "x y width height maximized"). Pixels of the face's desktop, outer
// frame included.

#include "run/settings/settings_keys.h"

#include <optional>
#include <string>

struct PixelSize {
  int width = 0;
  int height = 0;
};

struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

struct WindowPlace {
  PixelRect frame;
  PixelSize least;   // the least size the face allows the user to make it
  bool maximized = false;
};

inline const std::string kWindowPlaceKey = setting_keys::kWindowPlace;

// The least size of a window whose classic layout needs `classic`: never larger than
// `available`, so that every edge can be reached.
PixelSize LeastSize(PixelSize classic, PixelRect available);
// The first place: somewhat larger than the least size (a quarter wider, a third
// higher), at most nine tenths of `available`, centred on it.
PixelRect FirstPlace(PixelSize least, PixelRect available);
// `wanted` made to fit `available` wholly: shrunk to it, then moved in.
PixelRect OnScreen(PixelRect wanted, PixelSize least, PixelRect available);
// The place as stored, and read back; nothing for text that is not a place.
std::string PlaceText(const WindowPlace& place);
std::optional<WindowPlace> ParsePlace(const std::string& text);
// Whether a window of `size` fits `available` (a dialog that does not must scroll).
bool Fits(PixelSize size, PixelRect available);
