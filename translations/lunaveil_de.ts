<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>GreetingsWindow</name>
    <message>
        <source>Welcome to Lunaveil</source>
        <translation>Willkommen bei Lunaveil</translation>
    </message>
    <message>
        <source>&lt;p&gt;Lunaveil tints your screens in the evening, so that late hours at the screen are easier on your eyes and your sleep.&lt;/p&gt;&lt;p&gt;It lives in the system tray: click its moon icon to switch the tint on or off, pick its colour and strength, and set the hours when it comes on by itself. By default it tints every evening from 22:00 to 07:00.&lt;/p&gt;&lt;p&gt;&lt;i&gt;Help &amp;amp; Support&lt;/i&gt; in the popover&apos;s menu tells you more.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Lunaveil tönt am Abend Ihre Bildschirme, damit späte Stunden am Bildschirm Ihre Augen und Ihren Schlaf weniger belasten.&lt;/p&gt;&lt;p&gt;Es lebt im Systembereich der Leiste: Klicken Sie auf sein Mondsymbol, um die Tönung ein- oder auszuschalten, ihre Farbe und Stärke zu wählen und die Stunden festzulegen, in denen sie von selbst angeht. Voreingestellt tönt es jeden Abend von 22:00 bis 07:00.&lt;/p&gt;&lt;p&gt;&lt;i&gt;Hilfe &amp;amp; Support&lt;/i&gt; im Menü des Fensters erzählt Ihnen mehr.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Get Started</source>
        <translation>Los geht&apos;s</translation>
    </message>
</context>
<context>
    <name>HelpWindow</name>
    <message>
        <source>Lunaveil Help</source>
        <translation>Lunaveil-Hilfe</translation>
    </message>
    <message>
        <source>Questions, ideas or trouble? Write to us.</source>
        <translation>Fragen, Ideen oder Probleme? Schreiben Sie uns.</translation>
    </message>
    <message>
        <source>Contact Support…</source>
        <translation>Support kontaktieren…</translation>
    </message>
</context>
<context>
    <name>PopoverView</name>
    <message>
        <source>Lunaveil</source>
        <translation>Lunaveil</translation>
    </message>
    <message>
        <source>Tint the screens now</source>
        <translation>Die Bildschirme jetzt tönen</translation>
    </message>
    <message>
        <source>The tint is on</source>
        <translation>Die Tönung ist an</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Help and Quit</source>
        <translation>Hilfe und Beenden</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Intensity</source>
        <translation>Stärke</translation>
    </message>
    <message>
        <source>How strong the tint is</source>
        <translation>Wie kräftig die Tönung ist</translation>
    </message>
    <message>
        <source>Schedule</source>
        <translation>Zeitplan</translation>
    </message>
    <message>
        <source>Tint the screens every day between these times</source>
        <translation>Die Bildschirme jeden Tag zwischen diesen Zeiten tönen</translation>
    </message>
    <message>
        <source>Start of the tint</source>
        <translation>Beginn der Tönung</translation>
    </message>
    <message>
        <source>End of the tint</source>
        <translation>Ende der Tönung</translation>
    </message>
    <message>
        <source>True Colors</source>
        <translation>Echte Farben</translation>
    </message>
    <message>
        <source>Tint through the displays&apos; colour response instead of a window on top</source>
        <translation>Über die Farbwiedergabe der Bildschirme tönen statt mit einem Fenster darüber</translation>
    </message>
    <message>
        <source>What True Colors does</source>
        <translation>Was Echte Farben tut</translation>
    </message>
    <message>
        <source>Invert Colors</source>
        <translation>Farben umkehren</translation>
    </message>
    <message>
        <source>Show every display in inverted colours</source>
        <translation>Jeden Bildschirm in umgekehrten Farben zeigen</translation>
    </message>
    <message>
        <source>What Invert Colors does</source>
        <translation>Was Farben umkehren tut</translation>
    </message>
    <message>
        <source>Start at login</source>
        <translation>Beim Anmelden starten</translation>
    </message>
    <message>
        <source>Start Lunaveil when you log in</source>
        <translation>Lunaveil starten, wenn Sie sich anmelden</translation>
    </message>
</context>
<context>
    <name>lunaveil::HelpWindowController</name>
    <message>
        <source>No mail program is set up</source>
        <translation>Kein E-Mail-Programm eingerichtet</translation>
    </message>
    <message>
        <source>Write to %1. The address is on the clipboard.</source>
        <translation>Schreiben Sie an %1. Die Adresse liegt in der Zwischenablage.</translation>
    </message>
</context>
<context>
    <name>lunaveil::KWinNightLight</name>
    <message>
        <source>KWin lets no program set the display gamma that True Colors needs, so the tint is an overlay. For a tint through the gamma, use Plasma&apos;s own Night Light: System Settings, Display and Monitor, Night Light.</source>
        <translation>KWin lässt kein Programm das Bildschirm-Gamma setzen, das Echte Farben braucht, daher ist die Tönung ein Schleier. Für eine Tönung über das Gamma nutzen Sie Plasmas eigenes Nachtlicht: Systemeinstellungen, Anzeige und Monitor, Nachtlicht.</translation>
    </message>
    <message>
        <source>Night Light is on now.</source>
        <translation>Das Nachtlicht ist gerade an.</translation>
    </message>
</context>
<context>
    <name>lunaveil::LocationDialog</name>
    <message>
        <source>Lunaveil Location</source>
        <translation>Lunaveil – Standort</translation>
    </message>
    <message>
        <source>Sunset and sunrise are computed for this place. Without one, Lunaveil uses your time zone&apos;s.</source>
        <translation>Sonnenuntergang und -aufgang werden für diesen Ort berechnet. Ohne ihn nutzt Lunaveil den Ort Ihrer Zeitzone.</translation>
    </message>
    <message>
        <source>for example 52.52 (north) or -33.87 (south)</source>
        <translation>zum Beispiel 52,52 (Nord) oder -33,87 (Süd)</translation>
    </message>
    <message>
        <source>for example 13.40 (east) or -78.47 (west)</source>
        <translation>zum Beispiel 13,40 (Ost) oder -78,47 (West)</translation>
    </message>
    <message>
        <source>Latitude:</source>
        <translation>Breite:</translation>
    </message>
    <message>
        <source>Longitude:</source>
        <translation>Länge:</translation>
    </message>
    <message>
        <source>Use Time Zone</source>
        <translation>Zeitzone nutzen</translation>
    </message>
    <message>
        <source>The latitude must be a number of degrees from -90 to 90.</source>
        <translation>Die Breite muss eine Gradzahl von -90 bis 90 sein.</translation>
    </message>
    <message>
        <source>The longitude must be a number of degrees from -180 to 180.</source>
        <translation>Die Länge muss eine Gradzahl von -180 bis 180 sein.</translation>
    </message>
</context>
<context>
    <name>lunaveil::OpenDisplayPlatform</name>
    <message>
        <source>Mutter lets Lunaveil set no display gamma here, so the tint is an overlay. For a tint through the gamma, use GNOME&apos;s own Night Light: Settings, Displays, Night Light.</source>
        <translation>Mutter lässt Lunaveil hier kein Bildschirm-Gamma setzen, daher ist die Tönung ein Schleier. Für eine Tönung über das Gamma nutzen Sie GNOMEs eigenes Nachtlicht: Einstellungen, Bildschirme, Nachtlicht.</translation>
    </message>
</context>
<context>
    <name>lunaveil::OptionsMenu</name>
    <message>
        <source>Help &amp;&amp; Support</source>
        <translation>Hilfe &amp;&amp; Support</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Sunset to Sunrise</source>
        <translation>Sonnenuntergang bis -aufgang</translation>
    </message>
    <message>
        <source>Location...</source>
        <translation>Standort …</translation>
    </message>
</context>
<context>
    <name>lunaveil::PopoverColourTables</name>
    <message>
        <source>Red</source>
        <translation>Rot</translation>
    </message>
    <message>
        <source>Orange</source>
        <translation>Orange</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>Gelb</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>Grün</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>Blau</translation>
    </message>
    <message>
        <source>White</source>
        <translation>Weiß</translation>
    </message>
    <message>
        <source>Black</source>
        <translation>Schwarz</translation>
    </message>
    <message>
        <source>Custom Color</source>
        <translation>Eigene Farbe</translation>
    </message>
</context>
<context>
    <name>lunaveil::PopoverViewController</name>
    <message>
        <source>True Colors needs display gamma, which this session does not offer</source>
        <translation>Echte Farben braucht Bildschirm-Gamma, das diese Sitzung nicht bietet</translation>
    </message>
    <message>
        <source>Invert Colors needs display gamma, which this session does not offer</source>
        <translation>Farben umkehren braucht Bildschirm-Gamma, das diese Sitzung nicht bietet</translation>
    </message>
    <message>
        <source>The tint needs display gamma or overlay windows, and this session offers neither</source>
        <translation>Die Tönung braucht Bildschirm-Gamma oder überlagernde Fenster, und diese Sitzung bietet keines von beiden</translation>
    </message>
    <message>
        <source>Sunset to Sunrise needs to know where you are, and %1; the times here are in force.</source>
        <translation>Sonnenuntergang bis -aufgang muss wissen, wo Sie sind, und %1; es gelten die Zeiten hier.</translation>
    </message>
    <message>
        <source>%1° %2, %3° %4</source>
        <translation>%1° %2, %3° %4</translation>
    </message>
    <message>
        <source>N</source>
        <translation>N</translation>
    </message>
    <message>
        <source>S</source>
        <translation>S</translation>
    </message>
    <message>
        <source>E</source>
        <translation>O</translation>
    </message>
    <message>
        <source>W</source>
        <translation>W</translation>
    </message>
    <message>
        <source>Today&apos;s sunset and sunrise at %1</source>
        <translation>Heutiger Sonnenuntergang und -aufgang bei %1</translation>
    </message>
    <message>
        <source>Polar night at %1: the sun does not rise today, and the tint is on all day</source>
        <translation>Polarnacht bei %1: Die Sonne geht heute nicht auf, und die Tönung ist den ganzen Tag an</translation>
    </message>
    <message>
        <source>Polar day at %1: the sun does not set today, and the tint stays off</source>
        <translation>Polartag bei %1: Die Sonne geht heute nicht unter, und die Tönung bleibt aus</translation>
    </message>
</context>
<context>
    <name>lunaveil::PopoverViewPresenter</name>
    <message>
        <source>Tint Off</source>
        <translation>Tönung aus</translation>
    </message>
    <message>
        <source>Tint On</source>
        <translation>Tönung an</translation>
    </message>
    <message>
        <source>Help &amp;&amp; Support</source>
        <translation>Hilfe &amp;&amp; Support</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
</context>
<context>
    <name>lunaveil::PresetersMainHub</name>
    <message>
        <source>Lunaveil&apos;s settings were damaged</source>
        <translation>Die Einstellungen von Lunaveil waren beschädigt</translation>
    </message>
    <message>
        <source>The damaged file was kept as %1. Lunaveil uses its default settings.</source>
        <translation>Die beschädigte Datei wurde als %1 aufbewahrt. Lunaveil nutzt seine Voreinstellungen.</translation>
    </message>
    <message>
        <source>Lunaveil cannot change starting at login</source>
        <translation>Lunaveil kann den Start beim Anmelden nicht ändern</translation>
    </message>
    <message>
        <source>The reason: %1</source>
        <translation>Der Grund: %1</translation>
    </message>
    <message>
        <source>Invert Colors</source>
        <translation>Farben umkehren</translation>
    </message>
    <message>
        <source>Use this option if you are working in a very dark room. It will help your eyes adapt and see better</source>
        <translation>Nutzen Sie diese Option, wenn Sie in einem sehr dunklen Raum arbeiten. Sie hilft Ihren Augen, sich anzupassen und besser zu sehen</translation>
    </message>
    <message>
        <source>True Colors</source>
        <translation>Echte Farben</translation>
    </message>
    <message>
        <source>Use this option to change the real (hardware enabled) spectrum of your display.</source>
        <translation>Nutzen Sie diese Option, um das echte (von der Hardware gebotene) Spektrum Ihres Bildschirms zu ändern.</translation>
    </message>
</context>
<context>
    <name>lunaveil::QtColourPanel</name>
    <message>
        <source>Lunaveil Custom Color</source>
        <translation>Lunaveil – eigene Farbe</translation>
    </message>
</context>
<context>
    <name>lunaveil::QtMessageAlert</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>lunaveil::TimeZoneLocation</name>
    <message>
        <source>the time zone database gives %1 no readable coordinates</source>
        <translation>die Zeitzonendatenbank gibt für %1 keine lesbaren Koordinaten an</translation>
    </message>
    <message>
        <source>the time zone database&apos;s zone1970.tab is missing or damaged</source>
        <translation>die Datei zone1970.tab der Zeitzonendatenbank fehlt oder ist beschädigt</translation>
    </message>
    <message>
        <source>the time zone %1 has no place in the time zone database</source>
        <translation>die Zeitzone %1 hat keinen Ort in der Zeitzonendatenbank</translation>
    </message>
    <message>
        <source>the system names no time zone</source>
        <translation>das System nennt keine Zeitzone</translation>
    </message>
</context>
</TS>
