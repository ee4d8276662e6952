#include "log_file.h"

#include "whole_file.h"

namespace linkmoor::test {

std::string CLogFile::Contents() const { return ReadFileBytes(m_path); }

}  // namespace linkmoor::test
