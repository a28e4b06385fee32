# The Debian package, built by CPack (`make package`, `cpack -G DEB` in the build folder):
# morvex-fylatek_<version>_<arch>.deb, installed under /usr. Its dependencies on shared
# libraries are computed by dpkg-shlibdeps; SQLite is opened with dlopen (sqliteload/), so its
# run-time package is named here, with Qt's own French texts that the desktop programs load.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvex-fylatek)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Morvex Fylatek developers")
set(CPACK_PACKAGE_CONTACT "The Morvex Fylatek developers <dev@morvex-fylatek.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "décrire, inspecter et charger des fichiers de données plats")
# The synopsis is the summary above; CPack puts it before this extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Morvex Fylatek décrit des fichiers de données plats (lignes de
largeur fixe ou champs séparés par un caractère), les inspecte et les
charge dans des bases de données : analyse d'un fichier délimité,
chargement dans SQLite avec son catalogue, scripts SQL Server, génération
de scripts et de documents par des templates, dictionnaire de données.
.
Le paquet contient le programme de bureau morvex, la ligne de commande
morvexcli, la calculatrice tallymor, le programme de mise à jour
morvexsetup, tabstrap (table ODBC vers script d'INSERT) et les
utilitaires de lignes lintrim et linenum.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://morvex-fylatek.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsqlite3-0, libpq5, libisal2, libzstd1, liblzma5, libbz2-1.0, libexpat1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
