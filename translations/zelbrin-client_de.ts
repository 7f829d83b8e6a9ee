<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AboutWindow</name>
    <message>
        <source>About Zelbrin Client</source>
        <translation>Über Zelbrin Client</translation>
    </message>
    <message>
        <source>&lt;b&gt;Zelbrin Client&lt;/b&gt;</source>
        <translation>&lt;b&gt;Zelbrin Client&lt;/b&gt;</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>Prints what you print in your remote-desktop session on the printers of this computer.</source>
        <translation>Druckt, was Sie in Ihrer Remotedesktop-Sitzung drucken, auf den Druckern dieses Computers.</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
</context>
<context>
    <name>AgentStatus</name>
    <message>
        <source>Last job: %1</source>
        <translation>Letzter Auftrag: %1</translation>
    </message>
    <message>
        <source>Last job: %1 — %2</source>
        <translation>Letzter Auftrag: %1 — %2</translation>
    </message>
    <message>
        <source>Watching the clipboard and the folder</source>
        <translation>Überwacht die Zwischenablage und den Ordner</translation>
    </message>
    <message>
        <source>A job waits for a choice</source>
        <translation>Ein Auftrag wartet auf Ihre Auswahl</translation>
    </message>
    <message>
        <source>CUPS is not answering</source>
        <translation>CUPS antwortet nicht</translation>
    </message>
    <message>
        <source>not saved: the save panel was cancelled</source>
        <translation>nicht gespeichert: Speichern abgebrochen</translation>
    </message>
    <message>
        <source>saved in %1</source>
        <translation>gespeichert in %1</translation>
    </message>
    <message>
        <source>opened</source>
        <translation>geöffnet</translation>
    </message>
    <message>
        <source>not printed: no printer was chosen</source>
        <translation>nicht gedruckt: kein Drucker ausgewählt</translation>
    </message>
    <message>
        <source>not printed: the print dialog was cancelled</source>
        <translation>nicht gedruckt: Druckdialog abgebrochen</translation>
    </message>
    <message>
        <source>printed on %1</source>
        <translation>gedruckt auf %1</translation>
    </message>
    <message>
        <source>sent to %1</source>
        <translation>gesendet an %1</translation>
    </message>
</context>
<context>
    <name>Alert</name>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Folder Redirection</source>
        <translation>Ordnerumleitung</translation>
    </message>
    <message>
        <source><byte value="xd"/> For Folder Redirection to work please add redirected folder to Microsoft Remote Desktop and reconnect to RDP session!</source>
        <translation>Damit die Ordnerumleitung funktioniert, fügen Sie den umgeleiteten Ordner in Microsoft Remotedesktop hinzu und verbinden Sie sich erneut mit der RDP-Sitzung.</translation>
    </message>
</context>
<context>
    <name>AppDelegate</name>
    <message>
        <source>Zelbrin Client runs in the background</source>
        <translation>Zelbrin Client läuft im Hintergrund</translation>
    </message>
    <message>
        <source>This desktop has no system tray, so Zelbrin Client shows no icon; it prints the jobs of your remote desktop session all the same. To open its options, start Zelbrin Client again from the applications menu.</source>
        <translation>Dieser Desktop hat keinen Infobereich (System Tray), daher zeigt Zelbrin Client kein Symbol an; die Druckaufträge Ihrer Remotedesktop-Sitzung werden trotzdem gedruckt. Um die Einstellungen zu öffnen, starten Sie Zelbrin Client erneut über das Anwendungsmenü.</translation>
    </message>
</context>
<context>
    <name>DbusNotifier</name>
    <message>
        <source>Options…</source>
        <translation>Einstellungen…</translation>
    </message>
    <message>
        <source>Printer Settings…</source>
        <translation>Druckereinstellungen…</translation>
    </message>
    <message>
        <source>Print Queue…</source>
        <translation>Druckwarteschlange…</translation>
    </message>
</context>
<context>
    <name>FailureNotices</name>
    <message>
        <source>Zelbrin Client: a job was not carried out</source>
        <translation>Zelbrin Client: Ein Auftrag wurde nicht ausgeführt</translation>
    </message>
</context>
<context>
    <name>HUDp</name>
    <message>
        <source>Choose a Printer</source>
        <translation>Drucker auswählen</translation>
    </message>
    <message>
        <source>A server printer has no local printer yet. Print its jobs on:</source>
        <translation>Einem Serverdrucker ist noch kein lokaler Drucker zugeordnet. Seine Druckaufträge drucken auf:</translation>
    </message>
    <message>
        <source>&amp;Local printer:</source>
        <translation>&amp;Lokaler Drucker:</translation>
    </message>
    <message>
        <source>Remember this printer for the server printer</source>
        <translation>Diesen Drucker für den Serverdrucker merken</translation>
    </message>
    <message>
        <source>Restart</source>
        <translation>Neu starten</translation>
    </message>
    <message>
        <source>Start Zelbrin Client again, for instance to offer a printer just added. This job is not lost: the new start asks for it again.</source>
        <translation>Zelbrin Client neu starten, etwa um einen gerade hinzugefügten Drucker anzubieten. Dieser Druckauftrag geht nicht verloren: Nach dem Neustart wird erneut danach gefragt.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>JobFailure</name>
    <message>
        <source>the options are back at their defaults (set them again in the options window)</source>
        <translation>die Einstellungen sind wieder auf ihren Standardwerten (legen Sie sie im Einstellungsfenster erneut fest)</translation>
    </message>
    <message>
        <source>The settings file %1 could not be read (%2). It was moved to %3; %4.</source>
        <translation>Die Einstellungsdatei %1 konnte nicht gelesen werden (%2). Sie wurde nach %3 verschoben; %4.</translation>
    </message>
    <message>
        <source>The settings file %1 cannot be read (%2) and cannot be moved aside (%3); it is left as it is, and changes are not saved until it is repaired or removed.</source>
        <translation>Die Einstellungsdatei %1 kann weder gelesen (%2) noch beiseitegelegt werden (%3); sie bleibt, wie sie ist, und Änderungen werden nicht gespeichert, bis sie repariert oder entfernt wird.</translation>
    </message>
    <message>
        <source>%1 printer pair that could still be read was kept, the others are asked for again at their next job</source>
        <translation>%1 noch lesbare Druckerzuordnung wurde behalten, nach den übrigen wird beim nächsten Druckauftrag erneut gefragt</translation>
    </message>
    <message>
        <source>%1 printer pairs that could still be read were kept, the others are asked for again at their next job</source>
        <translation>%1 noch lesbare Druckerzuordnungen wurden behalten, nach den übrigen wird beim nächsten Druckauftrag erneut gefragt</translation>
    </message>
    <message>
        <source>each server printer is paired again at its next job</source>
        <translation>jeder Serverdrucker wird bei seinem nächsten Druckauftrag neu zugeordnet</translation>
    </message>
    <message>
        <source>The printer pair file %1 could not be read (%2). It was moved to %3; %4.</source>
        <translation>Die Datei der Druckerzuordnungen %1 konnte nicht gelesen werden (%2). Sie wurde nach %3 verschoben; %4.</translation>
    </message>
    <message>
        <source>The printer pair file %1 cannot be read (%2) and cannot be moved aside (%3); it is left as it is, and changes are not saved until it is repaired or removed.</source>
        <translation>Die Datei der Druckerzuordnungen %1 kann weder gelesen (%2) noch beiseitegelegt werden (%3); sie bleibt, wie sie ist, und Änderungen werden nicht gespeichert, bis sie repariert oder entfernt wird.</translation>
    </message>
    <message>
        <source>A job was not printed: this computer has no printer. Add one in the printer settings, then print again.</source>
        <translation>Ein Druckauftrag wurde nicht gedruckt: Auf diesem Computer ist kein Drucker eingerichtet. Fügen Sie in den Druckereinstellungen einen hinzu und drucken Sie dann erneut.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not printed: this computer has no printer. Add one in the printer settings, then print again.</source>
        <translation>„%1“ wurde nicht gedruckt: Auf diesem Computer ist kein Drucker eingerichtet. Fügen Sie in den Druckereinstellungen einen hinzu und drucken Sie dann erneut.</translation>
    </message>
    <message>
        <source>A job waits: the print service (CUPS) does not answer. It is carried out once CUPS runs again; check that it is running.</source>
        <translation>Ein Druckauftrag wartet: Der Druckdienst (CUPS) antwortet nicht. Der Auftrag wird ausgeführt, sobald CUPS wieder läuft; prüfen Sie, ob CUPS läuft.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; waits: the print service (CUPS) does not answer. It is carried out once CUPS runs again; check that it is running.</source>
        <translation>„%1“ wartet: Der Druckdienst (CUPS) antwortet nicht. Der Auftrag wird ausgeführt, sobald CUPS wieder läuft; prüfen Sie, ob CUPS läuft.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not saved in %2: %3. Save it again, in another folder or under a shorter name.</source>
        <translation>„%1“ wurde nicht in %2 gespeichert: %3. Speichern Sie das Dokument erneut, in einem anderen Ordner oder unter einem kürzeren Namen.</translation>
    </message>
    <message>
        <source>there is no temporary folder to put it in</source>
        <translation>es gibt keinen temporären Ordner, in dem es abgelegt werden kann</translation>
    </message>
    <message>
        <source>it could not be written to %1: %2</source>
        <translation>es konnte nicht in %1 geschrieben werden: %2</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not opened: %2.</source>
        <translation>„%1“ wurde nicht geöffnet: %2.</translation>
    </message>
    <message>
        <source>A document was not opened: it did not decrypt, or it could not be written to the temporary folder.</source>
        <translation>Ein Dokument wurde nicht geöffnet: Es ließ sich nicht entschlüsseln oder konnte nicht in den temporären Ordner geschrieben werden.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not opened: %2. Only PDF, pictures, text and office documents are opened from the remote session.</source>
        <translation>„%1“ wurde nicht geöffnet: %2. Aus der Remotesitzung werden nur PDF-Dateien, Bilder, Texte und Office-Dokumente geöffnet.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not opened: no application on this computer opens it. Install one for this kind of file.</source>
        <translation>„%1“ wurde nicht geöffnet: Kein Programm auf diesem Computer kann die Datei öffnen. Installieren Sie eines für diesen Dateityp.</translation>
    </message>
    <message>
        <source>The link &quot;%1&quot; was not opened: only http and https links are opened.</source>
        <translation>Der Link „%1“ wurde nicht geöffnet: Es werden nur http- und https-Links geöffnet.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not opened: the share could not be reached or the file is not there. Check the network and that the server lets you in.</source>
        <translation>„%1“ wurde nicht geöffnet: Die Freigabe war nicht erreichbar oder die Datei ist dort nicht vorhanden. Prüfen Sie das Netzwerk und ob der Server Ihnen Zugriff gewährt.</translation>
    </message>
    <message>
        <source>The program that holds the clipboard (usually the remote-desktop client) has not handed its text over for 30 seconds. A job on it is not printed until it does; print again, or reconnect the session.</source>
        <translation>Das Programm, das die Zwischenablage hält (meist der Remotedesktop-Client), hat seinen Text seit 30 Sekunden nicht übergeben. Ein Druckauftrag darin wird erst gedruckt, wenn es das tut; drucken Sie erneut oder verbinden Sie die Sitzung neu.</translation>
    </message>
    <message>
        <source>A job was not carried out: %1</source>
        <translation>Ein Auftrag wurde nicht ausgeführt: %1</translation>
    </message>
    <message>
        <source>A job for &quot;%1&quot; was not printed: its printer &quot;%2&quot; is no longer installed. Print again to choose another printer.</source>
        <translation>Ein Druckauftrag für „%1“ wurde nicht gedruckt: Sein Drucker „%2“ ist nicht mehr installiert. Drucken Sie erneut, um einen anderen Drucker auszuwählen.</translation>
    </message>
    <message>
        <source>The printer &quot;%1&quot; is now called &quot;%2&quot; (another printer has the same description). Jobs for &quot;%3&quot; still print on it.</source>
        <translation>Der Drucker „%1“ heißt jetzt „%2“ (ein anderer Drucker hat dieselbe Beschreibung). Druckaufträge für „%3“ werden weiterhin auf ihm gedruckt.</translation>
    </message>
    <message>
        <source>Printer choices cannot be saved in %1 (%2). This job prints on &quot;%3&quot;; the next job for &quot;%4&quot; asks again.</source>
        <translation>Die Druckerauswahl kann nicht in %1 gespeichert werden (%2). Dieser Druckauftrag wird auf „%3“ gedruckt; beim nächsten Druckauftrag für „%4“ wird erneut gefragt.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not printed: it is not a PDF document that can be read. Print it again from the remote session.</source>
        <translation>„%1“ wurde nicht gedruckt: Es ist kein lesbares PDF-Dokument. Drucken Sie es erneut aus der Remotesitzung.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not printed: %2. Check that the printer and its print service are running, then print again.</source>
        <translation>„%1“ wurde nicht gedruckt: %2. Prüfen Sie, ob der Drucker und sein Druckdienst laufen, und drucken Sie dann erneut.</translation>
    </message>
    <message>
        <source>A job for &quot;%1&quot; was not printed: the printer did not take it. Check that it is switched on and still installed, then print again.</source>
        <translation>Ein Druckauftrag für „%1“ wurde nicht gedruckt: Der Drucker hat ihn nicht angenommen. Prüfen Sie, ob er eingeschaltet und noch installiert ist, und drucken Sie dann erneut.</translation>
    </message>
</context>
<context>
    <name>OptionsWindow</name>
    <message>
        <source>Zelbrin Client Options</source>
        <translation>Zelbrin Client – Einstellungen</translation>
    </message>
    <message>
        <source>Printer pairs</source>
        <translation>Druckerzuordnungen</translation>
    </message>
    <message>
        <source>Server printers and the local printers they print on.</source>
        <translation>Serverdrucker und die lokalen Drucker, auf denen sie drucken.</translation>
    </message>
    <message>
        <source>Server printer = local printer</source>
        <translation>Serverdrucker = lokaler Drucker</translation>
    </message>
    <message>
        <source>Remove Pair</source>
        <translation>Zuordnung entfernen</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Use the job&apos;s paper tray, duplex and paper size</source>
        <translation>Papierfach, Duplex und Papierformat des Druckauftrags verwenden</translation>
    </message>
    <message>
        <source>Show the print dialog for default printer jobs</source>
        <translation>Druckdialog für Druckaufträge an den Standarddrucker anzeigen</translation>
    </message>
    <message>
        <source>Keep a log file</source>
        <translation>Protokolldatei führen</translation>
    </message>
    <message>
        <source>Folder Redirection</source>
        <translation>Ordnerumleitung</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Bei der Anmeldung starten</translation>
    </message>
</context>
<context>
    <name>PastboardController</name>
    <message>
        <source>Reading a job of %1 MB…</source>
        <translation>Auftrag mit %1 MB wird gelesen…</translation>
    </message>
</context>
<context>
    <name>PrinterProcess</name>
    <message>
        <source>Sending %1 to the printer</source>
        <translation>%1 wird an den Drucker gesendet</translation>
    </message>
</context>
<context>
    <name>QtPrintDialog</name>
    <message>
        <source>Print “%1”</source>
        <translation>„%1“ drucken</translation>
    </message>
</context>
<context>
    <name>QtPrinterPrompt</name>
    <message>
        <source>%1 (default)</source>
        <translation>%1 (Standard)</translation>
    </message>
    <message>
        <source>A job</source>
        <translation>Ein Druckauftrag</translation>
    </message>
    <message>
        <source>“%1”</source>
        <translation>„%1“</translation>
    </message>
    <message>
        <source>%1 comes from the server printer “%2”, which has no local printer yet. Choose the local printer for its jobs.</source>
        <translation>%1 kommt vom Serverdrucker „%2“, dem noch kein lokaler Drucker zugeordnet ist. Wählen Sie den lokalen Drucker für seine Druckaufträge.</translation>
    </message>
</context>
<context>
    <name>QtSavePanel</name>
    <message>
        <source>Save panel</source>
        <translation>Speichern</translation>
    </message>
</context>
<context>
    <name>ServerOptions</name>
    <message>
        <source>Server Options</source>
        <translation>Servereinstellungen</translation>
    </message>
    <message>
        <source>Server URL:</source>
        <translation>Server-URL:</translation>
    </message>
    <message>
        <source>User name:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Passwort:</translation>
    </message>
    <message>
        <source>The user name and password are offered only to this server, when one of its shares refuses a guest. They are kept in memory until the agent quits.</source>
        <translation>Benutzername und Passwort werden nur diesem Server angeboten, wenn eine seiner Freigaben einen Gastzugang ablehnt. Sie bleiben nur im Arbeitsspeicher, bis das Programm beendet wird.</translation>
    </message>
</context>
<context>
    <name>StatusMenu</name>
    <message>
        <source>Print on</source>
        <translation>Drucken auf</translation>
    </message>
    <message>
        <source>&amp;Recent jobs</source>
        <translation>&amp;Letzte Aufträge</translation>
    </message>
    <message>
        <source>No jobs yet</source>
        <translation>Noch keine Aufträge</translation>
    </message>
    <message>
        <source>Document not kept by CUPS</source>
        <translation>Dokument von CUPS nicht aufbewahrt</translation>
    </message>
    <message>
        <source>Print again</source>
        <translation>Erneut drucken</translation>
    </message>
    <message>
        <source>Save a copy…</source>
        <translation>Kopie speichern…</translation>
    </message>
    <message>
        <source>&amp;Options…</source>
        <translation>&amp;Einstellungen…</translation>
    </message>
    <message>
        <source>&amp;Server options…</source>
        <translation>&amp;Servereinstellungen…</translation>
    </message>
    <message>
        <source>&amp;About Zelbrin Client</source>
        <translation>&amp;Über Zelbrin Client</translation>
    </message>
    <message>
        <source>&amp;Quit Zelbrin Client</source>
        <translation>Zelbrin Client &amp;beenden</translation>
    </message>
</context>
<context>
    <name>JobTrouble</name>
    <message>
        <source>A print job needs attention</source>
        <translation>Ein Druckauftrag braucht Ihre Aufmerksamkeit</translation>
    </message>
    <message>
        <source>&quot;%1&quot; was not printed on %2: %3.</source>
        <translation>„%1“ wurde auf %2 nicht gedruckt: %3.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is waiting on %2: %3.</source>
        <translation>„%1“ wartet auf %2: %3.</translation>
    </message>
    <message>
        <source>%1 (CUPS: %2)</source>
        <translation>%1 (CUPS: %2)</translation>
    </message>
    <message>
        <source>CUPS says: %1</source>
        <translation>CUPS meldet: %1</translation>
    </message>
    <message>
        <source>it was cancelled</source>
        <translation>der Auftrag wurde abgebrochen</translation>
    </message>
    <message>
        <source>CUPS gives no reason</source>
        <translation>CUPS nennt keinen Grund</translation>
    </message>
    <message>
        <source>it was cancelled in the print queue</source>
        <translation>der Auftrag wurde in der Druckwarteschlange abgebrochen</translation>
    </message>
    <message>
        <source>the printer asks for a user name and password; release the job in the print queue</source>
        <translation>der Drucker verlangt einen Benutzernamen und ein Passwort; geben Sie den Auftrag in der Druckwarteschlange frei</translation>
    </message>
    <message>
        <source>it is held in the print queue until someone releases it</source>
        <translation>der Auftrag wird in der Druckwarteschlange zurückgehalten, bis jemand ihn freigibt</translation>
    </message>
    <message>
        <source>the printer is out of paper</source>
        <translation>im Drucker ist kein Papier mehr</translation>
    </message>
    <message>
        <source>the printer cannot be reached; check that it is switched on and connected</source>
        <translation>der Drucker ist nicht erreichbar; prüfen Sie, ob er eingeschaltet und angeschlossen ist</translation>
    </message>
    <message>
        <source>the printer cannot handle this document</source>
        <translation>der Drucker kann dieses Dokument nicht verarbeiten</translation>
    </message>
    <message>
        <source>the document could not be prepared for this printer</source>
        <translation>das Dokument konnte für diesen Drucker nicht aufbereitet werden</translation>
    </message>
    <message>
        <source>the printer could not be sent the document</source>
        <translation>das Dokument konnte nicht an den Drucker gesendet werden</translation>
    </message>
    <message>
        <source>the printer is paused or stopped; resume it in the print queue</source>
        <translation>der Drucker ist angehalten; setzen Sie ihn in der Druckwarteschlange fort</translation>
    </message>
    <message>
        <source>the print system gave up on it</source>
        <translation>das Drucksystem hat den Auftrag aufgegeben</translation>
    </message>
</context>
<context>
    <name>RecentJobs</name>
    <message>
        <source>printing</source>
        <translation>wird gedruckt</translation>
    </message>
    <message>
        <source>printed</source>
        <translation>gedruckt</translation>
    </message>
    <message>
        <source>held</source>
        <translation>zurückgehalten</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>angehalten</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>fehlgeschlagen</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>abgebrochen</translation>
    </message>
</context>
</TS>
