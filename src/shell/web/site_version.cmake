# Writes the site's service worker: SITE/sw.js from TEMPLATE, with the list of the site's files and a hash
# of their contents as the cache's version. Run by the build once every other file of the site is in place.
#   cmake -DSITE=dir -DTEMPLATE=sw.js.in -P site_version.cmake
file(GLOB_RECURSE files RELATIVE ${SITE} ${SITE}/*)
list(REMOVE_ITEM files sw.js)
list(SORT files)
set(digests "")
set(quoted "")
foreach(file ${files})
  file(SHA256 ${SITE}/${file} digest)
  string(APPEND digests "${file} ${digest}\n")
  list(APPEND quoted "'${file}'")
endforeach()
string(SHA256 hash "${digests}")
string(SUBSTRING ${hash} 0 16 TAVIK_SITE_HASH)
list(JOIN quoted ", " TAVIK_SITE_FILES)
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
