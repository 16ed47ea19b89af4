#pragma once
// EConvertError: a value could not be converted to what was asked for (a number from text, an
// object from another of a class it cannot copy). The archive engine and the download queue both
// raise it, so it has one definition here, below both.

#include <stdexcept>

namespace ruvevid {

class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace ruvevid
