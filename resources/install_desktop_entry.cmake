# Install step: writes tavik.desktop with the installed launcher in Exec and installs it.
# Expects tavik_desktop_template and tavik_desktop_entry (set by resources/CMakeLists.txt).
set(launcher "${CMAKE_INSTALL_PREFIX}/bin/tavik-start")
if(launcher MATCHES "^[A-Za-z0-9/._+-]+$")
  set(TAVIK_EXEC "${launcher}")
else()
  # Quoting as the desktop entry format wants it: inside quotes \ " ` $ take a backslash, then
  # the value as a whole doubles every backslash, and % is written %%.
  string(REPLACE "\\" "\\\\" quoted "${launcher}")
  string(REPLACE "\"" "\\\"" quoted "${quoted}")
  string(REPLACE "`" "\\`" quoted "${quoted}")
  string(REPLACE "$" "\\$" quoted "${quoted}")
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  string(REPLACE "%" "%%" quoted "${quoted}")
  set(TAVIK_EXEC "\"${quoted}\"")
endif()
configure_file("${tavik_desktop_template}" "${tavik_desktop_entry}" @ONLY)
file(INSTALL "${tavik_desktop_entry}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
