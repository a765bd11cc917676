#include "unit/transponder.h"

CTransponder::CTransponder(CCommPort& p, IOperator& o, DataPaths dataPaths)
    : port(p),
      op(o),
      paths(std::move(dataPaths)),
      link(p, o),
      files(link, status, paths),
      reader(link, status, files),
      loader(link),
      setup(link, status, reader, files),
      updater(link, status, files, setup),
      benchTests(link, status, paths, reader, files, setup, updater) {}
