# Builds one species workspace of a Varra Forgeset server into game content.
#
#   pwsh -NoProfile -ExecutionPolicy Bypass -File build-species.ps1 -ServerRoot <root> -Species <name>
#
# It checks the workspace <root>\species\<name> (species.json, the model and every file the
# definition names), writes what it checked to build\build.log and, when everything is there,
# hands the packing to the command named in VARRAFORGESET_COOK. Packing game content needs the
# game's own cooking tools, which this kit does not contain. The Server Tool counts a build as
# done only when a line holds the success marker, and this script prints it only after the
# packing command succeeded and the three packages exist in both client-mods and server-mods.
# It runs under Windows PowerShell 5.1 (powershell.exe) and PowerShell 7 (pwsh) alike.
param(
    [Parameter(Mandatory = $true)][string]$ServerRoot,
    [Parameter(Mandatory = $true)][string]$Species
)

# The Server Tool reads our output as UTF-8, whatever the console's code page or the locale
# says; the packing command's output is read the same way.
$utf8 = [System.Text.UTF8Encoding]::new($false)
try { [Console]::OutputEncoding = $utf8 } catch { }
$OutputEncoding = $utf8
# Errors are read in the tool's log box, where colour codes would show as litter.
if ($PSStyle) { $PSStyle.OutputRendering = 'PlainText' }

$workspace = Join-Path (Join-Path $ServerRoot 'species') $Species
$source = Join-Path $workspace 'source'
$buildFolder = Join-Path $workspace 'build'
$log = [System.Collections.Generic.List[string]]::new()

# Every line goes to the tool and to the log. Only Succeed may print the marker, so a file
# name, an error message or a tool's output that happens to hold it is changed.
function Say([string]$line) {
    $line = $line.Replace('BUILD OK', 'BUILD_OK')
    Write-Output $line
    $log.Add($line)
}

function Write-BuildLog {
    try {
        New-Item -ItemType Directory -Force -Path $buildFolder | Out-Null
        # Without a byte order mark, which Windows PowerShell's "utf8" would write.
        [System.IO.File]::WriteAllLines((Join-Path $buildFolder 'build.log'), $log, $utf8)
    } catch {
        Write-Output "Could not write build\build.log: $($_.Exception.Message)"
    }
}

function Finish([string]$lastLine) {
    Say $lastLine
    Write-BuildLog
    exit 1
}

function Succeed([string]$lastLine) {
    Write-Output $lastLine
    $log.Add($lastLine)
    Write-BuildLog
    exit 0
}

# Whatever else goes wrong still ends with a reason in the log.
trap {
    Finish "The build script stopped: $($_.Exception.Message) Nothing was built."
}

Say "Species: $Species"
Say "Workspace: $workspace"
$definitionPath = Join-Path $workspace 'species.json'
if (-not (Test-Path -LiteralPath $definitionPath -PathType Leaf)) {
    Finish 'MISSING species.json. Save the species in the Server Tool first. Nothing was built.'
}
try {
    # Windows PowerShell reads a file without a byte order mark in the ANSI code page, which
    # would turn every non-ASCII file name into one that is not there.
    $text = Get-Content -LiteralPath $definitionPath -Raw -Encoding UTF8 -ErrorAction Stop
    if ([string]::IsNullOrWhiteSpace($text)) { throw 'the file is empty' }
    $definition = ConvertFrom-Json -InputObject $text -ErrorAction Stop
} catch {
    Finish "species.json is not valid JSON ($($_.Exception.Message)). Nothing was built."
}

# The files the definition names, relative to source\.
$named = [System.Collections.Generic.List[string]]::new()
$missing = 0
if ($definition.source.mesh) {
    $named.Add($definition.source.mesh)
} else {
    Say 'MISSING model: the definition names no mesh. Import a model first.'
    $missing++
}
foreach ($animation in @($definition.source.animations)) {
    if ($animation.file) { $named.Add($animation.file) }
}
foreach ($sound in @($definition.source.sounds)) {
    if ($sound.file) { $named.Add($sound.file) }
}
foreach ($texture in @($definition.source.textures)) {
    if ($null -eq $texture) { continue }
    foreach ($member in $texture.PSObject.Properties) {
        if ($member.Name -ne 'slot' -and $member.Value -is [string] -and $member.Value) {
            $named.Add($member.Value)
        }
    }
}
foreach ($file in ($named | Select-Object -Unique)) {
    if (Test-Path -LiteralPath (Join-Path $source $file) -PathType Leaf) {
        Say "found   $file"
    } else {
        Say "MISSING $file"
        $missing++
    }
}
if ($missing -gt 0) {
    Finish "$missing file(s) missing from source. Nothing was built."
}

$packages = @('pak', 'utoc', 'ucas') | ForEach-Object { "species_$Species.$_" }
$outputs = @('client-mods', 'server-mods') | ForEach-Object { Join-Path $ServerRoot $_ }
$cook = $env:VARRAFORGESET_COOK
if (-not $cook) {
    Finish ('All files are in place, but packing needs the game''s own content cooking tools, ' +
        'which are not part of this kit. Set VARRAFORGESET_COOK to a packing command (it ' +
        'receives the workspace, client-mods and server-mods) or use the remote build. ' +
        'Nothing was built.')
}
Say "Packing with $cook"
try {
    $global:LASTEXITCODE = 0
    & $cook $workspace $outputs[0] $outputs[1] 2>&1 | ForEach-Object { Say "$_" }
} catch {
    Finish "The packing command could not be run: $($_.Exception.Message) Nothing was installed."
}
# Packages from an earlier build are still there when the command fails; they are not its work.
if ($LASTEXITCODE -ne 0) {
    Finish "The packing command failed (exit code $LASTEXITCODE). Nothing was installed."
}

$absent = foreach ($folder in $outputs) {
    foreach ($package in $packages) {
        $path = Join-Path $folder $package
        if (-not (Test-Path -LiteralPath $path -PathType Leaf)) { $path }
    }
}
if ($absent) {
    foreach ($path in $absent) { Say "NOT PRODUCED $path" }
    Finish 'The packing command did not produce every package. Nothing was installed.'
}
Succeed "BUILD OK: species_$Species is in client-mods and server-mods."
