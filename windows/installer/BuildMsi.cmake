# cmake -DSETTINGS=<build>/package-settings.cmake -DOUTPUT=... -DVIEWER_EXE=...
#       -DSHELLNOTIFY_EXE=... [-DVERSION_TEXT=1.99 -DMSI_VERSION=1.99.0]
#       [-DSOURCE_DATE_EPOCH=...] -P BuildMsi.cmake
# (the settings file, written by CMake, gives WXS, ICON, LICENSE, EXPAT_COPYING,
# PRODUCT_NAME, MANUFACTURER, UPGRADE_CODE and the build's version)
#
# Builds the installer package with wixl and finishes what wixl 0.101 cannot
# say, so that the same inputs give the same package byte for byte:
#  - the database's code page (1254, Turkish) and every text outside ASCII: the
#    product name and maker, the messages below and the verb's text;
#  - the product code and the package code come from the bytes that go into
#    the package (wixl would make both random), so that any other build of the
#    same version, a signed release over a test package or a fix built without
#    a new version, is another product: the major upgrade, which takes the same
#    version too, replaces it (a product code kept per version would make it a
#    maintenance install that keeps the old program);
#  - the summary's creation and save times are SOURCE_DATE_EPOCH (wixl takes the
#    clock's; faketime sets it when it is installed);
#  - the preference components and the trust anchors' get their conditions
#    (wixl 0.101 takes no Condition inside a Component), and their properties
#    are made secure (wixl takes no Secure attribute).

# The messages of the package, by the stand-ins the .wxs names them with.
set(messages
    "PreferenceValues=BROWSER, SAVEPDF, FRAME, CHECKSIGNATURE, WARNUNVERIFIED, WARNUNTRUSTED ve ONLINEREVOCATION yalnızca 0 ya da 1 olabilir."
    "TrustAnchorsPath=TRUSTANCHORS, güven çapalarının bulunduğu klasörün ya da dosyanın tam yolu olmalı. Yol bir sürücü harfiyle (C:) ya da bir ağ paylaşımıyla başlamalı."
    "NewerInstalled=Bu bilgisayarda bu programın daha yeni bir sürümü kurulu.")

if(DEFINED SETTINGS)
    include(${SETTINGS})
endif()
foreach(var OUTPUT WXS VIEWER_EXE SHELLNOTIFY_EXE ICON LICENSE EXPAT_COPYING OPENSSL_LICENSE PRODUCT_NAME
            MANUFACTURER VERSION_TEXT MSI_VERSION UPGRADE_CODE)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "BuildMsi.cmake: ${var} is not set")
    endif()
endforeach()
if(NOT DEFINED SOURCE_DATE_EPOCH OR SOURCE_DATE_EPOCH STREQUAL "")
    set(SOURCE_DATE_EPOCH 0)
endif()

find_program(WIXL wixl REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)
find_program(MSIINFO msiinfo REQUIRED)
find_program(FAKETIME faketime)

set(contents "${MSI_VERSION} ${PRODUCT_NAME} ${MANUFACTURER} ${messages}")
foreach(input ${WXS} ${VIEWER_EXE} ${SHELLNOTIFY_EXE} ${ICON} ${LICENSE} ${EXPAT_COPYING} ${OPENSSL_LICENSE}
              ${CMAKE_CURRENT_LIST_FILE})
    file(SHA256 ${input} hash)
    string(APPEND contents " ${hash}")
endforeach()
string(UUID packageCode NAMESPACE ${UPGRADE_CODE} NAME "${contents}" TYPE SHA1 UPPER)
string(UUID productCode NAMESPACE ${UPGRADE_CODE} NAME "product ${contents}" TYPE SHA1 UPPER)

# wixl 0.101 finds files only by paths relative to where it runs, and the
# cabinet keeps their modification times: the package's files are staged with
# fixed times.
set(stage ${OUTPUT}.files)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})
file(COPY ${VIEWER_EXE} ${SHELLNOTIFY_EXE} ${ICON} DESTINATION ${stage})
get_filename_component(viewerName ${VIEWER_EXE} NAME)
get_filename_component(notifyName ${SHELLNOTIFY_EXE} NAME)
get_filename_component(iconName ${ICON} NAME)
# The licences beside the program (the program carries expat and OpenSSL), in
# Windows' line ends for Notepad.
foreach(pair "${LICENSE};LICENSE.txt" "${EXPAT_COPYING};expat-COPYING.txt"
             "${OPENSSL_LICENSE};openssl-LICENSE.txt")
    list(GET pair 0 source)
    list(GET pair 1 name)
    file(READ ${source} text)
    string(REPLACE "\n" "\r\n" text "${text}")
    file(WRITE ${stage}/${name} "${text}")
endforeach()
execute_process(COMMAND touch -d @${SOURCE_DATE_EPOCH} ${viewerName} ${notifyName} ${iconName}
                        LICENSE.txt expat-COPYING.txt openssl-LICENSE.txt
                WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)

set(clock)
if(FAKETIME)
    execute_process(COMMAND date -u -d @${SOURCE_DATE_EPOCH} "+%Y-%m-%d %H:%M:%S"
                    OUTPUT_VARIABLE when OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(clock ${FAKETIME} -f "@${when}")
else()
    message(WARNING "faketime not found: the package carries the build's time")
endif()

file(REMOVE ${OUTPUT})
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 TZ=UTC ${clock}
            ${WIXL} -a x64 -o ${OUTPUT}
            -D UpgradeCode=${UPGRADE_CODE} -D ProductCode=${productCode} -D MsiVersion=${MSI_VERSION}
            -D VersionText=${VERSION_TEXT} -D IconFile=${iconName}
            -D ViewerExe=${viewerName} -D ShellNotifyExe=${notifyName} ${WXS}
    WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)

function(msi_query query)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${MSIBUILD} ${OUTPUT} -q "${query}"
                    COMMAND_ERROR_IS_FATAL ANY)
endfunction()

file(WRITE ${stage}/_ForceCodepage.idt "\r\n\r\n1254\t_ForceCodepage\r\n")
execute_process(COMMAND ${MSIBUILD} ${OUTPUT} -i ${stage}/_ForceCodepage.idt
                COMMAND_ERROR_IS_FATAL ANY)
msi_query("UPDATE `Property` SET `Value` = '${PRODUCT_NAME}' WHERE `Property` = 'ProductName'")
msi_query("UPDATE `Property` SET `Value` = '${MANUFACTURER}' WHERE `Property` = 'Manufacturer'")
foreach(entry IN LISTS messages)
    string(FIND "${entry}" "=" cut)
    string(SUBSTRING "${entry}" 0 ${cut} standIn)
    math(EXPR cut "${cut} + 1")
    string(SUBSTRING "${entry}" ${cut} -1 text)
    msi_query("UPDATE `LaunchCondition` SET `Description` = '${text}' WHERE `Description` = '${standIn}'")
endforeach()
# The verb's text, by its stand-in.
msi_query("UPDATE `Registry` SET `Value` = 'İmza bilgisi' WHERE `Value` = 'SignatureInfoVerb'")
# The preferences the command line sets, each with the component that writes
# it. They are secure custom properties: Windows Installer hands only those
# from the user's msiexec to the elevated install, so without it an install
# under UAC would succeed and drop them.
set(preferences BrowserSetting=BROWSER SavePDFSetting=SAVEPDF FrameSetting=FRAME
                CheckSignatureSetting=CHECKSIGNATURE WarnUnverifiedSetting=WARNUNVERIFIED
                WarnUntrustedSetting=WARNUNTRUSTED
                OnlineRevocationSetting=ONLINEREVOCATION TrustAnchorsSetting=TRUSTANCHORS)
execute_process(COMMAND ${MSIINFO} export ${OUTPUT} Property OUTPUT_VARIABLE properties
                COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "\nSecureCustomProperties\t([^\r\n]*)" found "${properties}")
set(secure ${CMAKE_MATCH_1}) # wixl's own: the upgrade's action properties
foreach(entry IN LISTS preferences)
    string(REPLACE "=" ";" pair ${entry})
    list(GET pair 0 component)
    list(GET pair 1 property)
    msi_query("UPDATE `Component` SET `Condition` = '${property}' WHERE `Component` = '${component}'")
    string(APPEND secure ";${property}")
endforeach()
string(REGEX REPLACE "^;" "" secure "${secure}")
msi_query("UPDATE `Property` SET `Value` = '${secure}' WHERE `Property` = 'SecureCustomProperties'")
# wixl's major upgrade finds only lower versions; the same version is an
# upgrade too (WiX's AllowSameVersionUpgrades: the maximum is inclusive). The
# attributes are part of the row's key, so the row is written anew.
msi_query("DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'")
msi_query("INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) \
VALUES ('{${UPGRADE_CODE}}', '${MSI_VERSION}', 513, 'WIX_UPGRADE_DETECTED')")

# Name (the summary's subject), author, platform;language and package code.
execute_process(
    COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${MSIBUILD} ${OUTPUT}
            -s "${PRODUCT_NAME}" "${MANUFACTURER}" "x64;1055" "{${packageCode}}"
    COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${stage})
