# What an installation holds and how `cpack -G DEB` wraps it into esfuerzo_<version>_amd64.deb.
include(GNUInstallDirs)

# Patient files carry the program's version; the package must say the same one.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/common/Version.h ESF_VERSION_LINE
     REGEX "kSoftwareVersion = QStringLiteral")
string(REGEX MATCH "\"([^\"]+)\"" ESF_VERSION_MATCH "${ESF_VERSION_LINE}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "Version.h says '${CMAKE_MATCH_1}', the project ${PROJECT_VERSION}")
endif()

# The program finds the files it seeds a new working folder with relative to its own folder.
file(RELATIVE_PATH ESF_SHIPPED_DATA_RELATIVE
     ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/esfuerzo)
target_compile_definitions(esfuerzo PRIVATE
    ESF_SHIPPED_DATA_RELATIVE="${ESF_SHIPPED_DATA_RELATIVE}")

# Installing and packaging take the binaries as built; building is `make build`'s job, and the
# package test must not start a second build while the other tests run.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS esfuerzo esfuerzo-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Every file of data/, read when installing, so a file added there ships without other changes.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/esfuerzo)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/esfuerzo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/esfuerzo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# esfuerzo-48.png is esfuerzo.svg drawn by `rsvg-convert -w 48 -h 48`, for menus without SVG.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/esfuerzo-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME esfuerzo.png)

# Man pages ship compressed, without a time stamp, as Debian wants them.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
foreach(page esfuerzo.1 esfuerzo-cli.1)
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${GZIP_EXECUTABLE} -9 -n -c ${CMAKE_SOURCE_DIR}/doc/${page} > ${compressed}
        DEPENDS ${CMAKE_SOURCE_DIR}/doc/${page}
        VERBATIM)
    list(APPEND ESF_MAN_PAGES ${compressed})
endforeach()
add_custom_target(esfuerzo_man ALL DEPENDS ${ESF_MAN_PAGES})
install(FILES ${ESF_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME esfuerzo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Esfuerzo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "estación de prueba ergométrica con ECG de tres derivaciones")
set(CPACK_PACKAGE_DESCRIPTION
    "Esfuerzo acompaña una prueba de esfuerzo en cinta o bicicleta: muestra en\n\
vivo las derivaciones D2, V2 y V5, la frecuencia cardíaca y el QRS promediado,\n\
mide el ST, registra presiones y angor por etapa, guarda pacientes y estudios,\n\
y redacta e imprime los informes. Incluye esfuerzo-cli, la misma lógica desde\n\
la línea de órdenes.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Equipo de Esfuerzo <esfuerzo@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the X11 platform plugin, the Spanish
# standard buttons and the fonts with Arial's metrics.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-liberation")
include(CPack)
