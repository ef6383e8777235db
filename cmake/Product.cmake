# The product's name, maker and version: one place for the program's version
# record (windows/resources, through the generated TolvProduct.h) and the
# installer package (windows/installer). The version is project()'s.

set(TOLV_PRODUCT_NAME "Tolv İçerik Gösterici Tarayıcı Derlemesi")
set(TOLV_MANUFACTURER "TolvViewer açık kaynak ekibi")
set(TOLV_COPYRIGHT "TolvViewer açık kaynak ekibi tarafından geliştirilmiştir")

# The version as the program shows it: "2.00", the minor number in two digits.
macro(tolv_version_text out major minor)
    if(${minor} LESS 10)
        set(${out} "${major}.0${minor}")
    else()
        set(${out} "${major}.${minor}")
    endif()
endmacro()
tolv_version_text(TOLV_VERSION_TEXT ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR})
