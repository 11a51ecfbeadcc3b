// The mode dispatcher's seam: reads the mode file and returns until the modes exist.
#include "app/app.h"

namespace korva {

RunMode read_runmode(Core& c) {
  RunMode m;
  FixedString& path = str_temp(c);
  str_set(path, *c.base_folder);
  str_cat(path, "runmode.ini");
  if (file_open_read(c, 0, path)) {
    select_input(c, 0);
    m.project = std::string(read_line(c).view());
    if (c.files.eof == 0) m.mode = str_to_int(read_line(c).view());
    if (c.files.eof == 0) m.element = str_to_int(read_line(c).view());
    file_close(c, 0);
  }
  str_release(c, path);
  return m;
}

void dispatch(App& app) {
  Core& c = *app.core;
  RunMode mode = read_runmode(c);
  (void)mode;  // the modes of the editors, tools and player take it from here
  pump(c);
}

}  // namespace korva
