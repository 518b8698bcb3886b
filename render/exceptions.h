// The rendering layer's error classes, one per kind of object it manages, under
// the program's one root, Exception.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

#include "exception.h"

// Errors of the drawing-surface control and its platform objects.
class EDXDrawError : public Exception {
 public:
  using Exception::Exception;
};
class EDirectDrawError : public Exception {
 public:
  using Exception::Exception;
};
class EDirectDrawSurfaceError : public Exception {
 public:
  using Exception::Exception;
};
class EDirectDrawPaletteError : public Exception {
 public:
  using Exception::Exception;
};
class EDirectDrawClipperError : public Exception {
 public:
  using Exception::Exception;
};

// Errors of the picture list and of stored pictures.
class EPictureCollectionError : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidGraphic : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidGraphicOperation : public Exception {
 public:
  using Exception::Exception;
};

// The toolkit's list error ("List index out of bounds (%d)").
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// Fills a message pattern with one string ("%s cannot be made" and the like).
inline std::string FormatMessageText(const char* pattern, const std::string& arg) {
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += arg;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

// Fills a message pattern with integers in order ("%d"), e.g. the display-mode text.
template <typename... Ints>
std::string FormatMessageInts(const char* pattern, Ints... args) {
  static_assert(sizeof...(Ints) > 0);
  const long long values[] = {static_cast<long long>(args)...};
  std::string out;
  std::size_t next = 0;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && p[1] == 'd' && next < sizeof...(Ints)) {
      out += std::to_string(values[next++]);
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}
