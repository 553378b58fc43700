# Gives the build tree's extension folder the shipped coefficient store when it
# has none. A store that is there holds the sets imported or edited with the
# build's own halvo and plugin, so no build may replace it.
#   cmake -DSOURCE=<project>/etc/isprops.xml -DDEST=<build>/ext/etc -P seed-store.cmake
if(NOT EXISTS "${DEST}/isprops.xml")
  file(COPY "${SOURCE}" DESTINATION "${DEST}")
endif()
