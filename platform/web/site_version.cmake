# Writes the service worker (sw.js) for the site in SITE: its cache is named after a hash of
# every file it keeps, so each build's files stay together. cmake -DSITE=... -DTEMPLATE=... -P
set(files index.html page.js worklet.js vantrose.js vantrose.wasm vantrose.dat vantrose.s3m
    manifest.webmanifest icon-192.png icon-512.png)
set(hashes "")
set(SITE_FILES "")
foreach(f ${files})
    file(SHA256 ${SITE}/${f} hash)
    string(APPEND hashes "${hash}")
    string(APPEND SITE_FILES "'${f}', ")
endforeach()
string(SHA256 SITE_VERSION "${hashes}")
string(SUBSTRING ${SITE_VERSION} 0 16 SITE_VERSION)
string(REGEX REPLACE ", $" "" SITE_FILES "${SITE_FILES}")
configure_file(${TEMPLATE} ${SITE}/sw.js @ONLY)
