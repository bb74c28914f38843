// The one error type of the programme guide: a guide file that cannot be read or is not XMLTV.
// Its message is meant for the sources page, in plain words.
#pragma once

#include <stdexcept>

namespace zephra::guide {

class GuideError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace zephra::guide
