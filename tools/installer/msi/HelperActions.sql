-- The helper's custom actions, added to the package after wixl (which writes
-- no row of type 2). Type 3074 = 2 (a program from the Binary table) + 1024
-- (in the installation's script) + 2048 (not impersonated: as SYSTEM). The
-- command is formatted when the script is written; "[INSTALLDIR]." is the
-- folder without its closing backslash before the quote. One row a line.
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('OpenSettingsToUsers', 3074, 'SettingsAccessExe', '--make-list "[INSTALLDIR]."')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('RemoveStartUp', 3074, 'SettingsAccessExe', '--remove-startup "[INSTALLDIR]."')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('PurgeSettings', 3074, 'SettingsAccessExe', '--purge "[INSTALLDIR]."')
