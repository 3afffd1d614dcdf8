#include "window_place.h"

#include <algorithm>
#include <sstream>

PixelSize LeastSize(PixelSize classic, PixelRect available) {
  return {std::max(1, std::min(classic.width, available.width)),
          std::max(1, std::min(classic.height, available.height))};
}

PixelRect FirstPlace(PixelSize least, PixelRect available) {
  int width = std::min(least.width * 5 / 4, available.width * 9 / 10);
  int height = std::min(least.height * 4 / 3, available.height * 9 / 10);
  width = std::min(std::max(width, least.width), available.width);
  height = std::min(std::max(height, least.height), available.height);
  return {available.x + (available.width - width) / 2, available.y + (available.height - height) / 2, width, height};
}

PixelRect OnScreen(PixelRect wanted, PixelSize least, PixelRect available) {
  PixelRect r = wanted;
  r.width = std::min(std::max(r.width, least.width), available.width);
  r.height = std::min(std::max(r.height, least.height), available.height);
  r.x = std::clamp(r.x, available.x, available.x + available.width - r.width);
  r.y = std::clamp(r.y, available.y, available.y + available.height - r.height);
  return r;
}

std::string PlaceText(const WindowPlace& place) {
  std::ostringstream out;
  out << place.frame.x << ' ' << place.frame.y << ' ' << place.frame.width << ' ' << place.frame.height << ' '
      << (place.maximized ? 1 : 0);
  return out.str();
}

std::optional<WindowPlace> ParsePlace(const std::string& text) {
  std::istringstream in(text);
  WindowPlace place;
  int maximized = 0;
  if (!(in >> place.frame.x >> place.frame.y >> place.frame.width >> place.frame.height >> maximized)) return {};
  std::string rest;
  if (in >> rest) return {};
  if (place.frame.width <= 0 || place.frame.height <= 0 || (maximized != 0 && maximized != 1)) return {};
  place.maximized = maximized == 1;
  return place;
}

bool Fits(PixelSize size, PixelRect available) {
  return size.width <= available.width && size.height <= available.height;
}
