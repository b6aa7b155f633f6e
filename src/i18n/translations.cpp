#include "i18n/translations.h"

#include <algorithm>
#include <array>

namespace {

// Line breaks are single LF characters. A few keys are the tail or the head of a sentence that
// the caller assembles around a number, so their translations keep the leading blank or the
// punctuation that joins the pieces.
// Sized by its rows, so that adding a text touches only its own lines.
constexpr TranslationRow rows[] = {
    {" is CLOSED - other registers cannot connect",
     " FERMÉ - les autres caisses ne peuvent pas se connecter",
     " CERRADO - las demás cajas no pueden conectarse"},
    {"% = any computer", "% = tout ordinateur", "% = cualquier equipo"},
    {"%1 can be changed by users who are not administrators; choose a folder that only "
     "administrators can change.",
     "%1 peut être modifié par des utilisateurs qui ne sont pas administrateurs ; choisissez un "
     "dossier que seuls les administrateurs peuvent modifier.",
     "%1 puede ser modificada por usuarios que no son administradores; elija una carpeta que solo "
     "los administradores puedan modificar."},
    {"%1 cannot be read: %2", "%1 est illisible : %2", "%1 no se puede leer: %2"},
    {"%1 changes more than the shop's database (%2); nothing was changed.",
     "%1 modifie plus que la base du magasin (%2) ; rien n'a été modifié.",
     "%1 cambia más que la base de datos de la tienda (%2); no se ha cambiado nada."},
    {"%1 is a link to another place; choose the folder itself.",
     "%1 est un lien vers un autre emplacement ; choisissez le dossier lui-même.",
     "%1 es un vínculo a otro lugar; elija la carpeta misma."},
    {"%1 is not a complete backup; nothing was changed.",
     "%1 n'est pas une sauvegarde complète ; rien n'a été modifié.",
     "%1 no es una copia completa; no se ha cambiado nada."},
    {"%1 is on a network share or a FAT drive, where files have no access rights: whoever "
     "reaches that place can read the backups there.",
     "%1 se trouve sur un partage réseau ou un disque FAT, où les fichiers n'ont pas de droits "
     "d'accès : quiconque atteint cet emplacement peut y lire les sauvegardes.",
     "%1 está en un recurso compartido de red o en una unidad FAT, donde los archivos no tienen "
     "permisos de acceso: quien llegue a ese lugar puede leer allí las copias."},
    {"%1 registers are connected (%2). ", "%1 caisses sont connectées (%2). ",
     "%1 cajas están conectadas (%2). "},
    {"%1 registers are connected: %2", "%1 caisses sont connectées : %2",
     "%1 cajas están conectadas: %2"},
    {"%1 registers connected", "%1 caisses connectées", "%1 cajas conectadas"},
    {"%1: %2=%3 cannot be used", "%1 : %2=%3 est inutilisable", "%1: %2=%3 no se puede usar"},
    {"%1: the copy is not as large as the dump", "%1 : la copie est plus petite que la sauvegarde",
     "%1: la copia es más pequeña que la copia de seguridad"},
    {"(all network cards)", "(toutes les interfaces)", "(todas las interfaces)"},
    {"(not found on this computer)", "(introuvable sur cet ordinateur)",
     "(no existe en este equipo)"},
    {", so the other registers cannot connect to this database.\n"
     "\n"
     "Open the port in Windows Firewall now?",
     " : les autres caisses ne pourront pas se connecter à cette base de données.\n"
     "\n"
     "Ouvrir le port dans le Pare-feu Windows maintenant ?",
     ": las demás cajas no podrán conectarse a esta base de datos.\n"
     "\n"
     "¿Abrir el puerto en el Firewall de Windows ahora?"},
    {"1 register connected", "1 caisse connectée", "1 caja conectada"},
    {"1 register is connected (%1). ", "1 caisse est connectée (%1). ",
     "1 caja está conectada (%1). "},
    {"1 register is connected: %1", "1 caisse est connectée : %1", "1 caja está conectada: %1"},
    {"A network folder needs write rights for this computer's account.",
     "Un dossier réseau doit autoriser l'écriture au compte de cet ordinateur.",
     "Una carpeta de red debe permitir escribir a la cuenta de este equipo."},
    {"A register can log in to %1 port %2 (answer in %3 ms).",
     "Une caisse peut se connecter à %1 port %2 (réponse en %3 ms).",
     "Una caja puede iniciar sesión en %1 puerto %2 (respuesta en %3 ms)."},
    {"A restore was interrupted (started %1); the database may be only partly restored. Put back "
     "the data from before it, on the Backup & restore page of the Setup window or with "
     "--restore:\n%2",
     "Une restauration a été interrompue (commencée le %1) ; la base de données n'est peut-être "
     "restaurée qu'en partie. Remettez les données d'avant, depuis la page Sauvegarde et "
     "restauration de la fenêtre de configuration ou avec --restore :\n%2",
     "Se interrumpió una restauración (iniciada el %1); puede que la base de datos solo esté "
     "restaurada en parte. Devuelva los datos de antes, desde la página Copia y restauración de "
     "la ventana de configuración o con --restore:\n%2"},
    {"A restore was interrupted. Its safety dump: %1",
     "Une restauration a été interrompue. Sa copie de sécurité : %1",
     "Se interrumpió una restauración. Su copia de seguridad: %1"},
    {"A restore was interrupted: put back %1 on the Backup & restore page",
     "Une restauration a été interrompue : remettez %1 depuis la page Sauvegarde et restauration",
     "Se interrumpió una restauración: devuelva %1 desde la página Copia y restauración"},
    {"About", "À propos", "Acerca de"},
    {"All files (*.*)", "Tous les fichiers (*.*)", "Todos los archivos (*.*)"},
    {"Allowed host", "Hôte autorisé", "Host permitido"},
    {"Allowed host: use an IP address, a pattern such as 192.168.1.% or %; computer names cannot "
     "log in",
     "Hôte autorisé : utilisez une adresse IP, un modèle comme 192.168.1.% ou % ; les noms "
     "d'ordinateur ne peuvent pas se connecter",
     "Host permitido: use una dirección IP, un patrón como 192.168.1.% o %; los nombres de equipo "
     "no pueden iniciar sesión"},
    {"Another KELTA Retail MySQL operation is running",
     "Une autre opération KELTA Retail MySQL est en cours",
     "Hay otra operación de KELTA Retail MySQL en curso"},
    {"Another MySQL server is using the data folder.",
     "Un autre serveur MySQL utilise le dossier de données.",
     "Otro servidor MySQL está usando la carpeta de datos."},
    {"Apply", "Appliquer", "Aplicar"},
    {"Automatic backup", "Sauvegarde automatique", "Copia automática"},
    {"Automatic backup failed", "Échec de la sauvegarde automatique", "Falló la copia automática"},
    {"Automatic backup failed:", "La sauvegarde automatique a échoué :",
     "La copia automática falló:"},
    {"Automatic backup settings saved", "Réglages de la sauvegarde automatique enregistrés",
     "Configuración de la copia automática guardada"},
    {"Back up", "Sauvegarde", "Copia de seguridad"},
    {"Back up database", "Sauvegarder la base de données",
     "Copia de seguridad de la base de datos"},
    {"Back up database...", "Sauvegarder la base de données...",
     "Copia de seguridad de la base de datos..."},
    {"Back up now...", "Sauvegarder maintenant...", "Hacer copia ahora..."},
    {"Back up...", "Sauvegarder...", "Hacer copia..."},
    {"Backup & restore", "Sauvegarde et restauration", "Copia y restauración"},
    {"Backup done:", "Sauvegarde terminée :", "Copia de seguridad completada:"},
    {"Backup done: ", "Sauvegarde terminée : ", "Copia de seguridad completada: "},
    {"Browse...", "Parcourir...", "Examinar..."},
    {"Changing the port or server IP restarts MySQL; the registers then have to connect with the "
     "new settings.",
     "Changer le port ou l'IP du serveur redémarre MySQL ; les caisses doivent ensuite se "
     "connecter avec les nouveaux paramètres.",
     "Cambiar el puerto o la IP del servidor reinicia MySQL; después las cajas deben conectarse "
     "con los nuevos ajustes."},
    {"Choose another port, such as %1, on the Connection page of the Setup window or with --apply; "
     "every register must then be set to the new port.",
     "Choisissez un autre port, par exemple %1, sur la page Connexion de la fenêtre de "
     "configuration ou avec --apply ; chaque caisse devra ensuite utiliser le nouveau port.",
     "Elija otro puerto, por ejemplo %1, en la página Conexión de la ventana de configuración o "
     "con --apply; después cada caja debe usar el nuevo puerto."},
    {"Close", "Fermer", "Cerrar"},
    {"Connected now: %1 \u2014 %2", "Connectées maintenant : %1 \u2014 %2",
     "Conectadas ahora: %1 \u2014 %2"},
    {"Connection", "Connexion", "Conexión"},
    {"Connection for the registers", "Connexion des caisses", "Conexión de las cajas"},
    {"Connection string", "Chaîne de connexion", "Cadena de conexión"},
    {"Connection string copied", "Chaîne de connexion copiée", "Cadena de conexión copiada"},
    {"Copies kept", "Copies gardées", "Copias"},
    {"Copy", "Copier", "Copiar"},
    {"Copy connection string", "Copier chaîne de connexion", "Copiar cadena de conexión"},
    {"Copy the backups to this folder", "Copier les sauvegardes dans ce dossier",
     "Copiar las copias a esta carpeta"},
    {"Copy to", "Copier vers", "Copiar a"},
    {"Copy to: choose a folder other than the backup folder",
     "Copier vers : choisissez un autre dossier que celui des sauvegardes",
     "Copiar a: elija una carpeta distinta de la de las copias"},
    {"Copy to: give a full path, such as E:\\Backups, or leave it empty",
     "Copier vers : indiquez un chemin complet, par exemple E:\\Sauvegardes, ou laissez vide",
     "Copiar a: indique una ruta completa, por ejemplo E:\\Copias, o déjelo vacío"},
    {"Data", "Données", "Datos"},
    {"Data folder", "Dossier des données", "Carpeta de datos"},
    {"Data location", "Emplacement des données", "Ubicación de los datos"},
    {"Database", "Base de données", "Base de datos"},
    {"Database: mysql, sys, information_schema and performance_schema belong to the server",
     "Base de données : mysql, sys, information_schema et performance_schema appartiennent au "
     "serveur",
     "Base de datos: mysql, sys, information_schema y performance_schema pertenecen al servidor"},
    {"End the old MySQL process and start", "Arrêter l'ancien processus MySQL et démarrer",
     "Terminar el proceso antiguo de MySQL e iniciar"},
    {"Error log", "Journal d'erreurs", "Registro de errores"},
    {"Error logs are split automatically at 10 MB; the last 5 are kept.",
     "Les journaux d'erreurs sont scindés à 10 Mo ; les 5 derniers sont conservés.",
     "Los registros de errores se dividen a los 10 MB; se conservan los 5 últimos."},
    {"Every day at", "Chaque jour à", "Cada día a las"},
    {"Exit tray (MySQL keeps running)", "Quitter l'icône (MySQL continue de fonctionner)",
     "Salir del icono (MySQL sigue funcionando)"},
    {"Export the whole database to a .sql file that you can keep on a USB drive or another "
     "computer.",
     "Exporter toute la base dans un fichier .sql à conserver sur une clé USB ou un autre "
     "ordinateur.",
     "Exportar toda la base de datos a un archivo .sql que puede guardar en un USB u otro equipo."},
    {"Finish it with \"Rebuild from backup...\" on the Overview page of the Setup window, or with "
     "--recover.",
     "Terminez-la avec « Reconstruire depuis une sauvegarde... » sur la page Vue d'ensemble de la "
     "fenêtre de configuration, ou avec --recover.",
     "Termínela con «Reconstruir desde una copia...» en la página Resumen de la ventana de "
     "configuración, o con --recover."},
    {"Folder", "Dossier", "Carpeta"},
    {"Folder rights repaired and MySQL started", "Droits du dossier réparés et MySQL démarré",
     "Permisos de la carpeta reparados y MySQL iniciado"},
    {"Folder: give a full path, such as D:\\Backups",
     "Dossier : indiquez un chemin complet, par exemple D:\\Sauvegardes",
     "Carpeta: indique una ruta completa, por ejemplo D:\\Copias"},
    {"General", "Général", "General"},
    {"Generate", "Générer", "Generar"},
    {"Hide", "Masquer", "Ocultar"},
    {"Install MySQL service", "Installer le service MySQL", "Instalar servicio MySQL"},
    {"Install service", "Installer le service", "Instalar servicio"},
    {"KELTA Retail MySQL must run from a folder that only administrators can change: %1",
     "KELTA Retail MySQL doit s'exécuter depuis un dossier que seuls les administrateurs peuvent "
     "modifier : %1",
     "KELTA Retail MySQL debe ejecutarse desde una carpeta que solo los administradores puedan "
     "modificar: %1"},
    {"Keep the backups in this folder", "Garder les sauvegardes dans ce dossier",
     "Guardar las copias en esta carpeta"},
    {"Language", "Langue", "Idioma"},
    {"Last automatic backup:", "Dernière sauvegarde automatique :", "Última copia automática:"},
    {"Last backup:", "Dernière sauvegarde :", "Última copia de seguridad:"},
    {"Log folder", "Dossier des journaux", "Carpeta de registros"},
    {"Logs", "Journaux", "Registros"},
    {"Make room on %1, then start MySQL.", "Libérez de la place sur %1, puis démarrez MySQL.",
     "Libere espacio en %1 y luego inicie MySQL."},
    {"Manual start", "Démarrage manuel", "Inicio manual"},
    {"MySQL cannot listen at %1: that address is not on this computer. Choose the server IP on "
     "the Connection page.",
     "MySQL ne peut pas écouter sur %1 : cette adresse n'appartient pas à cet ordinateur. "
     "Choisissez l'IP du serveur sur la page Connexion.",
     "MySQL no puede escuchar en %1: esa dirección no es de este equipo. Elija la IP del "
     "servidor en la página Conexión."},
    {"MySQL cannot start on this computer: %1",
     "MySQL ne peut pas démarrer sur cet ordinateur : %1",
     "MySQL no puede iniciarse en este equipo: %1"},
    {"MySQL could not be started, so nothing was restored.",
     "MySQL n'a pas pu démarrer, rien n'a donc été restauré.",
     "MySQL no pudo iniciarse, así que no se ha restaurado nada."},
    {"MySQL did not start: %1", "MySQL n'a pas démarré : %1", "MySQL no se inició: %1"},
    {"MySQL does not listen at %1 port %2 (my.ini: bind-address %3, port %4).",
     "MySQL n'écoute pas sur %1 port %2 (my.ini : bind-address %3, port %4).",
     "MySQL no escucha en %1 puerto %2 (my.ini: bind-address %3, puerto %4)."},
    {"MySQL is not running, so no register can log in.",
     "MySQL n'est pas en cours d'exécution : aucune caisse ne peut se connecter.",
     "MySQL no está en ejecución: ninguna caja puede iniciar sesión."},
    {"MySQL is running", "MySQL est en cours d'exécution", "MySQL está en ejecución"},
    {"MySQL is running but not accepting connections yet",
     "MySQL est lancé mais n'accepte pas encore de connexions",
     "MySQL está en ejecución pero aún no acepta conexiones"},
    {"MySQL is running; there is nothing to fix.", "MySQL fonctionne ; il n'y a rien à corriger.",
     "MySQL está en marcha; no hay nada que arreglar."},
    {"MySQL is starting...", "MySQL démarre...", "MySQL se está iniciando..."},
    {"MySQL is stopped", "MySQL est arrêté", "MySQL está detenido"},
    {"MySQL is stopping...", "MySQL s'arrête...", "MySQL se está deteniendo..."},
    {"MySQL listens only on this computer (bind-address %1 in my.ini), so registers on other "
     "computers cannot connect. Choose the server IP on the Connection page.",
     "MySQL n'écoute que sur cet ordinateur (bind-address %1 dans my.ini) : les caisses des "
     "autres ordinateurs ne peuvent pas se connecter. Choisissez l'IP du serveur sur la page "
     "Connexion.",
     "MySQL solo escucha en este equipo (bind-address %1 en my.ini), así que las cajas de otros "
     "equipos no pueden conectarse. Elija la IP del servidor en la página Conexión."},
    {"MySQL may not read its files in %1.", "MySQL n'a pas le droit de lire ses fichiers dans %1.",
     "MySQL no tiene permiso para leer sus archivos en %1."},
    {"MySQL restarted", "MySQL a redémarré", "MySQL reiniciado"},
    {"MySQL service", "Service MySQL", "Servicio MySQL"},
    {"MySQL service installed", "Service MySQL installé", "Servicio MySQL instalado"},
    {"MySQL service uninstalled (data kept)", "Service MySQL désinstallé (données conservées)",
     "Servicio MySQL desinstalado (datos conservados)"},
    {"MySQL started", "MySQL démarré", "MySQL iniciado"},
    {"MySQL stopped", "MySQL arrêté", "MySQL detenido"},
    {"Nightly log rotation task missing", "Tâche nocturne de rotation des journaux absente",
     "Falta la tarea nocturna de rotación de registros"},
    {"No automatic backup since %1", "Aucune sauvegarde automatique depuis le %1",
     "Ninguna copia automática desde el %1"},
    {"No automatic backup yet", "Pas encore de sauvegarde automatique",
     "Todavía no hay copia automática"},
    {"No backup yet", "Aucune sauvegarde pour l'instant", "Aún no hay copias de seguridad"},
    {"No complete backup was found to rebuild the database from; nothing was changed.",
     "Aucune sauvegarde complète pour reconstruire la base ; rien n'a été modifié.",
     "No hay ninguna copia completa para reconstruir la base de datos; no se ha cambiado nada."},
    {"No failed start is recorded; there is nothing to fix.",
     "Aucun démarrage manqué n'est enregistré ; il n'y a rien à corriger.",
     "No hay ningún inicio fallido registrado; no hay nada que arreglar."},
    {"No register connected", "Aucune caisse connectée", "Ninguna caja conectada"},
    {"Number kept: from 1 to 365", "Copies conservées : de 1 à 365",
     "Copias conservadas: de 1 a 365"},
    {"Open data folder", "Ouvrir le dossier des données", "Abrir carpeta de datos"},
    {"Open error log", "Voir le journal d'erreurs", "Abrir registro de errores"},
    {"Open folder", "Ouvrir le dossier", "Abrir carpeta"},
    {"Open port", "Ouvrir le port", "Abrir puerto"},
    {"Open safety backups", "Ouvrir les copies de sécurité", "Abrir copias de seguridad"},
    {"Open the drive", "Ouvrir le lecteur", "Abrir la unidad"},
    {"Open the port in Windows Firewall for other registers",
     "Ouvrir le port dans le Pare-feu Windows pour les autres caisses",
     "Abrir el puerto en el Firewall de Windows para las demás cajas"},
    {"Overview", "Vue d'ensemble", "Resumen"},
    {"Password", "Mot de passe", "Contraseña"},
    {"Port", "Port", "Puerto"},
    {"Port %1 is already in use by %2 (PID %3).", "Le port %1 est déjà utilisé par %2 (PID %3).",
     "El puerto %1 ya está en uso por %2 (PID %3)."},
    {"Port %1 is already in use by another program.",
     "Le port %1 est déjà utilisé par un autre programme.",
     "El puerto %1 ya está en uso por otro programa."},
    {"Port must be a number (1024 - 65535)", "Le port doit être un nombre (1024 - 65535)",
     "El puerto debe ser un número (1024 - 65535)"},
    {"Port opened in Windows Firewall", "Port ouvert dans le Pare-feu Windows",
     "Puerto abierto en el Firewall de Windows"},
    {"Put back the data", "Remettre les données", "Devolver los datos"},
    {"Putting the data back failed too:", "La remise en place des données a échoué aussi :",
     "También falló la devolución de los datos:"},
    {"Putting the previous settings back failed too:",
     "Le rétablissement des paramètres précédents a aussi échoué :",
     "También falló el restablecimiento de la configuración anterior:"},
    {"Rebuild from backup...", "Reconstruire depuis une sauvegarde...",
     "Reconstruir desde una copia..."},
    {"Rebuild the database from the backup of %1?\n%2\n\nData entered after %1 will be lost. The "
     "damaged files are kept in %3.",
     "Reconstruire la base à partir de la sauvegarde du %1 ?\n%2\n\nLes données saisies après le "
     "%1 seront perdues. Les fichiers endommagés sont conservés dans %3.",
     "¿Reconstruir la base de datos desde la copia del %1?\n%2\n\nLos datos introducidos después "
     "del %1 se perderán. Los archivos dañados se guardan en %3."},
    {"Registers connect to it", "Les caisses s'y connectent", "Las cajas se conectan a él"},
    {"Repair folder rights", "Réparer les droits du dossier", "Reparar los permisos de la carpeta"},
    {"Replace the current database with a .sql backup. The current data is saved automatically "
     "first.",
     "Remplacer la base actuelle par une sauvegarde .sql. Les données actuelles sont d'abord "
     "copiées.",
     "Reemplazar la base de datos actual por una copia .sql. Antes se guardan los datos actuales."},
    {"Restart", "Redémarrer", "Reiniciar"},
    {"Restarting MySQL disconnects them. Restart anyway?",
     "Le redémarrage de MySQL coupe la connexion. Redémarrer quand même ?",
     "Reiniciar MySQL corta la conexión. ¿Reiniciar de todos modos?"},
    {"Restore", "Restauration", "Restauración"},
    {"Restore a backup.", "Restaurez une sauvegarde.", "Restaure una copia de seguridad."},
    {"Restore database", "Restaurer la base de données", "Restaurar la base de datos"},
    {"Restore database...", "Restaurer la base de données...", "Restaurar la base de datos..."},
    {"Restore done. Data before the restore was saved to:",
     "Restauration terminée. Les données d'avant la restauration ont été enregistrées dans :",
     "Restauración completada. Los datos anteriores a la restauración se guardaron en:"},
    {"Restore done: ", "Restauration terminée : ", "Restauración completada: "},
    {"Restore from backup...", "Restaurer une sauvegarde...", "Restaurar desde una copia..."},
    {"Restore the last backup (%1).", "Restaurez la dernière sauvegarde (%1).",
     "Restaure la última copia de seguridad (%1)."},
    {"Restore this backup", "Restaurer celle-ci", "Restaurar esta copia"},
    {"Restore this safety dump by hand:", "Restaurez à la main cette copie de sécurité :",
     "Restaure a mano esta copia de seguridad:"},
    {"Restore...", "Restaurer...", "Restaurar..."},
    {"Restoring replaces ALL current data in the database with the backup.\n"
     "The current data is saved automatically first.\n"
     "\n"
     "Continue?",
     "La restauration remplace TOUTES les données actuelles de la base par la sauvegarde.\n"
     "Les données actuelles sont d'abord sauvegardées automatiquement.\n"
     "\n"
     "Continuer ?",
     "La restauración reemplaza TODOS los datos actuales de la base de datos por la copia de "
     "seguridad.\n"
     "Antes se guarda automáticamente una copia de los datos actuales.\n"
     "\n"
     "¿Continuar?"},
    {"Restoring replaces the data they are working with. Restore anyway?",
     "La restauration remplace les données en cours d'utilisation. Restaurer quand même ?",
     "La restauración reemplaza los datos en uso. ¿Restaurar de todos modos?"},
    {"Run automatic backup now", "Lancer la sauvegarde automatique",
     "Ejecutar la copia automática"},
    {"Running in the system tray. Double-click the icon to open Setup.",
     "En cours d'exécution dans la barre d'état. Double-cliquez sur l'icône pour la configuration.",
     "En ejecución en la bandeja del sistema. Doble clic en el icono para la configuración."},
    {"SQL backup (*.sql)", "Sauvegarde SQL (*.sql)", "Copia de seguridad SQL (*.sql)"},
    {"Same as Windows", "Comme Windows", "Igual que Windows"},
    {"Save", "Enregistrer", "Guardar"},
    {"Save support file", "Enregistrer le fichier d'assistance", "Guardar el archivo de soporte"},
    {"Save support file\u2026", "Fichier d'assistance\u2026", "Archivo de soporte\u2026"},
    {"Saving restarts MySQL and disconnects them. Save anyway?",
     "L'enregistrement redémarre MySQL et coupe la connexion. Enregistrer quand même ?",
     "Guardar reinicia MySQL y corta la conexión. ¿Guardar de todos modos?"},
    {"Server", "Serveur", "Servidor"},
    {"Server IP", "IP du serveur", "IP del servidor"},
    {"Set this line aside and start", "Mettre cette ligne de côté et démarrer",
     "Apartar esta línea e iniciar"},
    {"Settings saved. Connect the registers with:",
     "Paramètres enregistrés. Connectez les caisses avec :",
     "Configuración guardada. Conecte las cajas con:"},
    {"Settings saved. The registers connect with the information on the Overview page.",
     "Paramètres enregistrés. Les caisses se connectent avec les informations de la page Vue "
     "d'ensemble.",
     "Configuración guardada. Las cajas se conectan con la información de la página Resumen."},
    {"Setup", "Configuration", "Configuración"},
    {"Setup...", "Configuration...", "Configuración..."},
    {"Show", "Afficher", "Mostrar"},
    {"Show tray icon at logon", "Afficher l'icône à l'ouverture de session",
     "Mostrar el icono al iniciar sesión"},
    {"Start", "Démarrer", "Iniciar"},
    {"Start MySQL with Windows", "Démarrer MySQL avec Windows", "Iniciar MySQL con Windows"},
    {"Start on %1 failed: %2", "Échec du démarrage du %1 : %2", "Falló el inicio del %1: %2"},
    {"Starting MySQL, then restoring...", "Démarrage de MySQL, puis restauration...",
     "Iniciando MySQL y después restaurando..."},
    {"Starts with Windows", "Démarre avec Windows", "Se inicia con Windows"},
    {"Startup", "Démarrage", "Inicio"},
    {"Stop", "Arrêter", "Detener"},
    {"Stopping MySQL disconnects them. Stop anyway?",
     "L'arrêt de MySQL coupe la connexion. Arrêter quand même ?",
     "Detener MySQL corta la conexión. ¿Detener de todos modos?"},
    {"Support file (*.zip)", "Fichier d'assistance (*.zip)", "Archivo de soporte (*.zip)"},
    {"Support file saved:", "Fichier d'assistance enregistré :", "Archivo de soporte guardado:"},
    {"Test connection", "Tester la connexion", "Probar la conexión"},
    {"The MySQL service is not installed", "Le service MySQL n'est pas installé",
     "El servicio MySQL no está instalado"},
    {"The automatic backup task is missing", "La tâche de sauvegarde automatique est absente",
     "Falta la tarea de copia automática"},
    {"The backup the unfinished rebuild restores, %1, is gone or cannot be used; rebuild from "
     "another backup with --recover <file>.",
     "La sauvegarde que restaure la reconstruction inachevée, %1, a disparu ou est inutilisable ; "
     "reconstruisez à partir d'une autre sauvegarde avec --recover <fichier>.",
     "La copia que restaura la reconstrucción sin terminar, %1, ya no está o no se puede usar; "
     "reconstruya desde otra copia con --recover <archivo>."},
    {"The damaged files are kept in %1 and %2 holds the new database; to go back, stop MySQL, "
     "rename %2 to keep it aside and rename %1 to %2.",
     "Les fichiers endommagés sont conservés dans %1 et %2 contient la nouvelle base ; pour "
     "revenir en arrière, arrêtez MySQL, renommez %2 pour le garder de côté et renommez %1 en %2.",
     "Los archivos dañados se guardan en %1 y %2 contiene la nueva base de datos; para volver "
     "atrás, detenga MySQL, cambie el nombre de %2 para apartarla y cambie el nombre de %1 a %2."},
    {"The database %1 does not exist.", "La base de données %1 n'existe pas.",
     "La base de datos %1 no existe."},
    {"The database files are damaged.", "Les fichiers de la base de données sont endommagés.",
     "Los archivos de la base de datos están dañados."},
    {"The database was put back as it was before the restore, from:",
     "La base de données a été remise dans son état d'avant la restauration, à partir de :",
     "La base de datos volvió a su estado anterior a la restauración, desde:"},
    {"The database was rebuilt from the backup of %1 (tables: %4) in %2 s:\n%3\nThe damaged files "
     "are kept in %5.",
     "La base a été reconstruite à partir de la sauvegarde du %1 (tables : %4) en %2 s :\n%3\nLes "
     "fichiers endommagés sont conservés dans %5.",
     "La base de datos se reconstruyó desde la copia del %1 (tablas: %4) en %2 s:\n%3\nLos "
     "archivos dañados se guardan en %5."},
    {"The database's system tables are missing or damaged.",
     "Les tables système de la base de données sont manquantes ou endommagées.",
     "Las tablas del sistema de la base de datos faltan o están dañadas."},
    {"The disk is full (%1 free on %2).", "Le disque est plein (%1 libres sur %2).",
     "El disco está lleno (%1 libres en %2)."},
    {"The line was set aside and MySQL started. my.ini as it was: %1",
     "La ligne a été mise de côté et MySQL a démarré. my.ini tel qu'il était : %1",
     "La línea se apartó y MySQL se inició. my.ini tal como estaba: %1"},
    {"The nightly automatic backup could not be set up; the database is backed up only when you "
     "start a backup.",
     "La sauvegarde automatique de la nuit n'a pas pu être planifiée ; la base n'est sauvegardée "
     "que lorsque vous lancez une sauvegarde.",
     "No se pudo programar la copia automática nocturna; la base de datos solo se copia cuando "
     "usted inicia una copia."},
    {"The nightly log rotation could not be set up; the error log is rotated only when MySQL "
     "starts.",
     "La rotation nocturne des journaux n'a pas pu être mise en place ; le journal d'erreurs n'est "
     "renouvelé qu'au démarrage de MySQL.",
     "No se pudo programar la rotación nocturna de los registros; el registro de errores solo se "
     "renueva al iniciar MySQL."},
    {"The previous settings are back in place.", "Les paramètres précédents sont rétablis.",
     "Se restableció la configuración anterior."},
    {"The rebuild of the database from the backup of %1 did not finish (started %2): MySQL may be "
     "running on a new, empty database. The damaged files are kept in %3.",
     "La reconstruction de la base à partir de la sauvegarde du %1 ne s'est pas terminée "
     "(commencée le %2) : MySQL fonctionne peut-être sur une base neuve et vide. Les fichiers "
     "endommagés sont conservés dans %3.",
     "La reconstrucción de la base de datos desde la copia del %1 no terminó (iniciada el %2): "
     "puede que MySQL esté funcionando con una base de datos nueva y vacía. Los archivos dañados "
     "se guardan en %3."},
    {"The test login failed: %1", "La connexion de test a échoué : %1",
     "El inicio de sesión de prueba falló: %1"},
    {"These could not be removed; remove them by hand:",
     "Ces éléments n'ont pas pu être supprimés ; supprimez-les à la main :",
     "No se pudieron quitar; quítelos a mano:"},
    {"This backup changes more than the shop's database (other databases, MySQL's own tables or "
     "its accounts); nothing was restored:",
     "Cette sauvegarde modifie plus que la base de données du magasin (d'autres bases, les tables "
     "propres à MySQL ou ses comptes) ; rien n'a été restauré :",
     "Esta copia cambia más que la base de datos de la tienda (otras bases de datos, las tablas "
     "propias de MySQL o sus cuentas); no se restauró nada:"},
    {"This cannot be fixed from here; nothing was changed.",
     "Cela ne peut pas être corrigé d'ici ; rien n'a été modifié.",
     "Esto no se puede arreglar desde aquí; no se ha cambiado nada."},
    {"This computer can log in, but Windows Firewall keeps other computers out of port %1.",
     "Cet ordinateur peut se connecter, mais le Pare-feu Windows bloque le port %1 pour les autres "
     "ordinateurs.",
     "Este equipo puede iniciar sesión, pero el Firewall de Windows bloquea el puerto %1 para los "
     "demás equipos."},
    {"This computer's address %1 may not log in as %2 (allowed host: %3).",
     "L'adresse %1 de cet ordinateur ne peut pas se connecter en tant que %2 (hôte autorisé : %3).",
     "La dirección %1 de este equipo no puede iniciar sesión como %2 (host permitido: %3)."},
    {"This dump was cut short (its \"-- Dump completed\" line is missing); nothing was restored:",
     "Cette sauvegarde est incomplète (la ligne \"-- Dump completed\" manque) ; rien n'a été "
     "restauré :",
     "Esta copia está incompleta (falta la línea \"-- Dump completed\"); no se restauró nada:"},
    {"Time: use hours and minutes, such as 02:30",
     "Heure : indiquez les heures et les minutes, par exemple 02:30",
     "Hora: indique horas y minutos, por ejemplo 02:30"},
    {"Undo", "Annuler", "Deshacer"},
    {"Undo changes", "Annuler", "Deshacer cambios"},
    {"Uninstall MySQL service (keeps data)", "Désinstaller le service MySQL (conserve les données)",
     "Desinstalar servicio MySQL (conserva los datos)"},
    {"Uninstall service", "Désinstaller le service", "Desinstalar servicio"},
    {"Uninstall the MySQL service?\n"
     "\n"
     "MySQL will be stopped, and the Windows service, the firewall rule and the daily "
     "log-rotation task will be removed. The registers will no longer be able to connect.\n"
     "\n"
     "The database files are NOT deleted. They stay in:\n",
     "Désinstaller le service MySQL ?\n"
     "\n"
     "MySQL sera arrêté, puis le service Windows, la règle du pare-feu et la tâche quotidienne de "
     "rotation des journaux seront supprimés. Les caisses ne pourront plus se connecter.\n"
     "\n"
     "Les fichiers de la base de données ne sont PAS supprimés. Ils restent dans :\n",
     "¿Desinstalar el servicio MySQL?\n"
     "\n"
     "MySQL se detendrá y se eliminarán el servicio de Windows, la regla del firewall y la tarea "
     "diaria de rotación de registros. Las cajas ya no podrán conectarse.\n"
     "\n"
     "Los archivos de la base de datos NO se eliminan. Se conservan en:\n"},
    {"Uninstalling the service disconnects them. Uninstall anyway?",
     "La désinstallation du service coupe la connexion. Désinstaller quand même ?",
     "Desinstalar el servicio corta la conexión. ¿Desinstalar de todos modos?"},
    {"Use another port...", "Utiliser un autre port...", "Usar otro puerto..."},
    {"Use the full network path (\\\\server\\share) instead of drive %1",
     "Utilisez le chemin réseau complet (\\\\serveur\\partage) au lieu du lecteur %1",
     "Use la ruta de red completa (\\\\servidor\\recurso) en lugar de la unidad %1"},
    {"User", "Utilisateur", "Usuario"},
    {"Version", "Version", "Versión"},
    {"Windows Firewall will block port", "Le Pare-feu Windows bloquera le port",
     "El Firewall de Windows bloqueará el puerto"},
    {"Windows Firewall: checking\u2026", "Pare-feu Windows : vérification\u2026",
     "Firewall de Windows: comprobando\u2026"},
    {"Windows Firewall: could not be checked", "Pare-feu Windows : vérification impossible",
     "Firewall de Windows: no se pudo comprobar"},
    {"Windows Firewall: open for other computers, port",
     "Pare-feu Windows : ouvert aux autres postes, port",
     "Firewall de Windows: abierto a otros equipos, puerto"},
    {"Windows Firewall: port", "Pare-feu Windows : port", "Firewall de Windows: puerto"},
    {"Windows will not restart MySQL by itself after a crash.",
     "Windows ne redémarrera pas MySQL de lui-même après un plantage.",
     "Windows no reiniciará MySQL por sí solo tras un fallo."},
    {"Working, please wait...", "Traitement en cours, veuillez patienter...",
     "Procesando, espere..."},
    {"Wrong password: the server refused user %1.",
     "Mot de passe incorrect : le serveur a refusé l'utilisateur %1.",
     "Contraseña incorrecta: el servidor rechazó al usuario %1."},
    {"You have unsaved changes on the Connection page. Discard them?",
     "La page Connexion contient des modifications non enregistrées. Les abandonner ?",
     "La página Conexión tiene cambios sin guardar. ¿Descartarlos?"},
    {"a program library (DLL) it needs is missing (%1).",
     "il manque une bibliothèque de programme (DLL) dont il a besoin (%1).",
     "falta una biblioteca de programa (DLL) que necesita (%1)."},
    {"connection.ini not found", "connection.ini introuvable", "no se encuentra connection.ini"},
    {"copy to %1 failed: %2", "la copie vers %1 a échoué : %2", "falló la copia a %1: %2"},
    {"its program files do not suit this Windows or are damaged (%1).",
     "ses fichiers de programme ne conviennent pas à ce Windows ou sont endommagés (%1).",
     "sus archivos de programa no sirven para este Windows o están dañados (%1)."},
    {"my.ini has an option this MySQL does not know: %1.",
     "my.ini contient une option inconnue de ce MySQL : %1.",
     "my.ini tiene una opción que este MySQL no conoce: %1."},
    {"my.ini: [%1] sets %2, which the server uses instead of %3",
     "my.ini : [%1] définit %2, que le serveur utilise au lieu de %3",
     "my.ini: [%1] define %2, que el servidor usa en lugar de %3"},
    {"not enough disk space in %1: %2 free, the last dump took %3",
     "espace disque insuffisant dans %1 : %2 libres, la dernière sauvegarde occupait %3",
     "espacio en disco insuficiente en %1: %2 libres, la última copia ocupó %3"},
    {"ok", "réussie", "correcta"},
    {"port", "port", "puerto"},
    {"running", "en cours d'exécution", "en ejecución"},
    {"running, not accepting connections yet",
     "en cours d'exécution, n'accepte pas encore de connexions",
     "en ejecución, aún no acepta conexiones"},
    {"service not installed", "service non installé", "servicio no instalado"},
    {"starting...", "démarrage...", "iniciando..."},
    {"stopped", "arrêté", "detenido"},
    {"stopping...", "arrêt...", "deteniendo..."},
    {"the dump stopped making progress", "la sauvegarde n'avançait plus",
     "la copia dejó de avanzar"},
    {"this computer", "cet ordinateur", "este equipo"},
};

constexpr bool sorted_and_unique() {
    return std::ranges::adjacent_find(rows, [](const TranslationRow& a, const TranslationRow& b) {
               return a.english >= b.english;
           }) == std::end(rows);
}
// The lookup is a binary search over the keys.
static_assert(sorted_and_unique(), "translation keys must be sorted by bytes and unique");

} // namespace

std::span<const TranslationRow> translation_table() {
    return rows;
}

const TranslationRow* find_translation(std::string_view english) {
    auto row = std::ranges::lower_bound(rows, english, {}, &TranslationRow::english);
    return row != std::end(rows) && row->english == english ? &*row : nullptr;
}
