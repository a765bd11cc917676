// One XML status document in memory (placeholder: the records subsystem fills this in).
#pragma once
#include <string>

class CStatusXml {
 public:
  CStatusXml() = default;
  virtual ~CStatusXml() = default;
};
