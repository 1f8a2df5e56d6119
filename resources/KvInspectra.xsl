<?xml version="1.0" encoding="UTF-8"?>
<!--
  Kavrol Inspectra report page.

  Plain XSLT 1.0 without extensions, includes or document(), so that the
  same file works in libxslt, Firefox and MSXML 6. The report can hold
  thousands of tests: every report-wide list is read through a key, and no
  template looks at anything but its own test's ancestors.

  Tests are shown only where the writer puts them, in
  TestGroup/Category/SubCategory/Test; only those get a TST anchor, so the
  summaries and lists use exactly the same set and never link to nowhere.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <xsl:output method="html" encoding="UTF-8" indent="no"
              doctype-public="-//W3C//DTD HTML 4.01//EN"
              doctype-system="http://www.w3.org/TR/html4/strict.dtd"/>

  <xsl:key name="TestsByFormat"
           match="/KvInspectraReport/TestGroup/Category/SubCategory/Test"
           use="TestResult/@Format"/>
  <xsl:key name="TestsByStatus"
           match="/KvInspectraReport/TestGroup/Category/SubCategory/Test"
           use="TestStatus"/>

  <!-- Placeholders the writer puts in for missing names and descriptions. -->
  <xsl:variable name="kCatUndef" select="'CatUndef'"/>
  <xsl:variable name="kDescrUndef" select="'DescrUndef'"/>
  <xsl:variable name="kProduct" select="'Kavrol Inspectra'"/>

  <!-- ===================================================== page ====== -->

  <xsl:template match="/">
    <xsl:apply-templates select="KvInspectraReport"/>
  </xsl:template>

  <xsl:template match="KvInspectraReport">
    <xsl:variable name="header" select="Header"/>
    <html lang="en">
      <head>
        <title>
          <xsl:value-of select="$kProduct"/>
          <xsl:text> report: </xsl:text>
          <xsl:value-of select="$header/ComputerName"/>
          <xsl:text>, </xsl:text>
          <xsl:value-of select="$header/Date"/>
        </title>
        <style type="text/css">
          <xsl:call-template name="PageStyle"/>
        </style>
      </head>
      <body>
        <h1>
          <xsl:value-of select="$kProduct"/>
          <xsl:text> report</xsl:text>
        </h1>
        <xsl:apply-templates select="Header"/>
        <xsl:call-template name="Contents"/>
        <xsl:apply-templates select="TestGroup"/>
        <xsl:call-template name="SensorSummaries"/>
        <xsl:call-template name="StatusList">
          <xsl:with-param name="anchor" select="'FAILED'"/>
          <xsl:with-param name="title" select="'Failed tests'"/>
          <xsl:with-param name="status" select="'Failed'"/>
          <xsl:with-param name="noneText" select="'No test failed.'"/>
        </xsl:call-template>
        <xsl:call-template name="StatusList">
          <xsl:with-param name="anchor" select="'ALARMS'"/>
          <xsl:with-param name="title" select="'Alarms'"/>
          <xsl:with-param name="status" select="'Alarm'"/>
          <xsl:with-param name="noneText" select="'No sensor had an alarm state.'"/>
        </xsl:call-template>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="PageStyle">
    <xsl:text>
body { font-family: "Segoe UI", Tahoma, Arial, Helvetica, sans-serif; font-size: 10pt; color: #111; background: #fff; margin: 1em 2em; }
h1 { font-size: 17pt; margin: 0 0 0.6em 0; }
h2 { font-size: 13pt; margin: 1.6em 0 0.4em 0; padding: 0.2em 0.4em; background: #e4e9f0; border-left: 4px solid #4a6a94; }
h3 { font-size: 11pt; margin: 1.1em 0 0.3em 0; border-bottom: 1px solid #b8c2d0; }
h4 { font-size: 10pt; margin: 0.8em 0 0.2em 0; color: #333; }
table { border-collapse: collapse; margin: 0.2em 0 0.4em 0; }
th, td { border: 1px solid #c4ccd6; padding: 0.15em 0.5em; text-align: left; vertical-align: top; }
th { background: #f0f2f5; font-weight: 600; }
table.info th { width: 8em; }
table.tests { width: 100%; }
table.tests td.name { width: 24%; }
table.tests td.status { width: 7%; white-space: nowrap; }
table.tests td.result { width: 30%; }
td.number { text-align: right; }
pre.raw { margin: 0; font-family: Consolas, "Courier New", Courier, monospace; font-size: 9pt; white-space: pre; }
tr.bad td, tr.bad td a, li.bad a { color: #c00000; }
tr.bad td.status { font-weight: bold; }
p.desc { margin: 0.2em 0; color: #444; }
p.categories { margin: 0.3em 0; }
p.back { margin: 0.6em 0 0 0; font-size: 9pt; }
p.none { font-style: italic; color: #444; }
ul.links { margin: 0.3em 0; padding-left: 1.5em; }
a { color: #1f4e8c; text-decoration: none; }
a:hover { text-decoration: underline; }
@media print {
  body { margin: 0; font-size: 9pt; }
  h2 { background: none; border-left: none; border-bottom: 2px solid #000; page-break-after: avoid; }
  h3, h4 { page-break-after: avoid; }
  tr, li { page-break-inside: avoid; }
  thead { display: table-header-group; }
  th { background: none; }
  th, td { border-color: #888; }
  a { color: #000; }
  p.back, p.categories { display: none; }
}
</xsl:text>
  </xsl:template>

  <!-- ============================================ report information == -->

  <xsl:template match="Header">
    <table class="info">
      <xsl:call-template name="InfoRow">
        <xsl:with-param name="label" select="'Version'"/>
        <xsl:with-param name="value" select="Version"/>
      </xsl:call-template>
      <xsl:call-template name="InfoRow">
        <xsl:with-param name="label" select="'Device Type'"/>
        <xsl:with-param name="value" select="KvDeviceType"/>
      </xsl:call-template>
      <xsl:call-template name="InfoRow">
        <xsl:with-param name="label" select="'Computer'"/>
        <xsl:with-param name="value" select="ComputerName"/>
      </xsl:call-template>
      <xsl:call-template name="InfoRow">
        <xsl:with-param name="label" select="'Author'"/>
        <xsl:with-param name="value" select="Author"/>
      </xsl:call-template>
      <xsl:call-template name="InfoRow">
        <xsl:with-param name="label" select="'Date'"/>
        <xsl:with-param name="value" select="Date"/>
      </xsl:call-template>
      <xsl:call-template name="InfoRow">
        <xsl:with-param name="label" select="'Time'"/>
        <xsl:with-param name="value" select="Time"/>
      </xsl:call-template>
    </table>
  </xsl:template>

  <xsl:template name="InfoRow">
    <xsl:param name="label"/>
    <xsl:param name="value"/>
    <tr>
      <th scope="row"><xsl:value-of select="$label"/></th>
      <td><xsl:value-of select="$value"/></td>
    </tr>
  </xsl:template>

  <!-- ================================================= contents ====== -->

  <xsl:template name="Contents">
    <div class="toc">
      <h2 id="TOC">Contents</h2>
      <table class="contents">
        <thead>
          <tr><th>No.</th><th>Test group</th><th>Description</th></tr>
        </thead>
        <tbody>
          <xsl:for-each select="TestGroup">
            <tr>
              <td class="number"><xsl:value-of select="GroupNumber"/></td>
              <td><a href="#GRP{GroupNumber}"><xsl:value-of select="GroupName"/></a></td>
              <td>
                <xsl:if test="GroupDescription != $kDescrUndef">
                  <xsl:value-of select="GroupDescription"/>
                </xsl:if>
              </td>
            </tr>
          </xsl:for-each>
        </tbody>
      </table>
      <ul class="links">
        <li><a href="#TEMPERATURES">Temperatures</a></li>
        <li><a href="#FANS">Fans</a></li>
        <li><a href="#VOLTAGES">Voltages</a></li>
        <li><a href="#FAILED">Failed tests</a></li>
        <li><a href="#ALARMS">Alarms</a></li>
      </ul>
    </div>
  </xsl:template>

  <xsl:template name="BackToContents">
    <p class="back"><a href="#TOC">Back to contents</a></p>
  </xsl:template>

  <!-- ============================================== test groups ====== -->

  <xsl:template match="TestGroup">
    <div class="group">
      <h2 id="GRP{GroupNumber}">
        <xsl:text>Test Group </xsl:text>
        <xsl:value-of select="GroupNumber"/>
        <xsl:text>: </xsl:text>
        <xsl:value-of select="GroupName"/>
      </h2>
      <xsl:if test="GroupDescription != $kDescrUndef">
        <p class="desc"><xsl:value-of select="GroupDescription"/></p>
      </xsl:if>
      <xsl:variable name="namedCategories" select="Category[CategoryName != $kCatUndef]"/>
      <xsl:if test="$namedCategories">
        <p class="categories">
          <xsl:text>Categories: </xsl:text>
          <xsl:for-each select="$namedCategories">
            <xsl:if test="position() != 1">
              <xsl:text> | </xsl:text>
            </xsl:if>
            <a href="#CAT{generate-id()}"><xsl:value-of select="CategoryName"/></a>
          </xsl:for-each>
        </p>
      </xsl:if>
      <xsl:apply-templates select="Category"/>
      <xsl:call-template name="BackToContents"/>
    </div>
  </xsl:template>

  <xsl:template match="Category">
    <xsl:if test="CategoryName != $kCatUndef">
      <h3 id="CAT{generate-id()}"><xsl:value-of select="CategoryName"/></h3>
    </xsl:if>
    <xsl:apply-templates select="SubCategory"/>
  </xsl:template>

  <xsl:template match="SubCategory">
    <xsl:if test="SubCategoryName != $kCatUndef">
      <h4><xsl:value-of select="SubCategoryName"/></h4>
    </xsl:if>
    <!-- A subcategory the writer opened without any test gets no empty table. -->
    <xsl:if test="Test">
      <table class="tests">
        <thead>
          <tr><th>Test name</th><th>Test status</th><th>Result</th><th>Remark</th></tr>
        </thead>
        <tbody>
          <xsl:apply-templates select="Test"/>
        </tbody>
      </table>
    </xsl:if>
  </xsl:template>

  <xsl:template match="Test">
    <tr>
      <xsl:if test="TestStatus = 'Failed' or TestStatus = 'Alarm'">
        <xsl:attribute name="class">bad</xsl:attribute>
      </xsl:if>
      <td class="name"><a id="TST{TestNumber}"><xsl:value-of select="TestName"/></a></td>
      <td class="status"><xsl:value-of select="TestStatus"/></td>
      <td class="result"><xsl:call-template name="ResultValue"/></td>
      <td class="remark">
        <xsl:if test="TestDescription != $kDescrUndef">
          <xsl:value-of select="TestDescription"/>
        </xsl:if>
      </td>
    </tr>
  </xsl:template>

  <!-- The result of the context Test with its unit; a blank result keeps
       the cell from collapsing. -->
  <xsl:template name="ResultValue">
    <xsl:variable name="value" select="string(TestResult)"/>
    <xsl:variable name="format" select="string(TestResult/@Format)"/>
    <xsl:choose>
      <xsl:when test="normalize-space($value) = ''">
        <xsl:text>&#160;</xsl:text>
      </xsl:when>
      <xsl:when test="$format = 'Raw'">
        <!-- Raw dumps start with a line break; a pre would show it as an
             empty first line in browsers that build the DOM directly. -->
        <pre class="raw"><xsl:choose>
            <xsl:when test="starts-with($value, '&#10;')">
              <xsl:value-of select="substring($value, 2)"/>
            </xsl:when>
            <xsl:otherwise>
              <xsl:value-of select="$value"/>
            </xsl:otherwise>
          </xsl:choose></pre>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$value"/>
        <xsl:call-template name="Unit">
          <xsl:with-param name="format" select="$format"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="Unit">
    <xsl:param name="format"/>
    <xsl:choose>
      <xsl:when test="$format = 'MHz'"><xsl:text> MHz</xsl:text></xsl:when>
      <xsl:when test="$format = 'DegreeCentigrade'"><xsl:text> &#176;C</xsl:text></xsl:when>
      <xsl:when test="$format = 'GigaByte'"><xsl:text> GB</xsl:text></xsl:when>
      <xsl:when test="$format = 'MegaByte'"><xsl:text> MB</xsl:text></xsl:when>
      <xsl:when test="$format = 'KiloByte'"><xsl:text> KB</xsl:text></xsl:when>
      <xsl:when test="$format = 'Percent'"><xsl:text>%</xsl:text></xsl:when>
      <xsl:when test="$format = 'Bytes'"><xsl:text> bytes</xsl:text></xsl:when>
      <xsl:when test="$format = 'Hex'"><xsl:text>h</xsl:text></xsl:when>
      <xsl:when test="$format = 'Rpm'"><xsl:text> rpm</xsl:text></xsl:when>
      <xsl:when test="$format = 'Volt'"><xsl:text> V</xsl:text></xsl:when>
      <xsl:when test="$format = 'Ampere'"><xsl:text> A</xsl:text></xsl:when>
      <xsl:when test="$format = 'Minutes'"><xsl:text> min</xsl:text></xsl:when>
      <xsl:when test="$format = 'Seconds'"><xsl:text> sec</xsl:text></xsl:when>
      <xsl:when test="$format = 'MilliSeconds'"><xsl:text> ms</xsl:text></xsl:when>
      <xsl:when test="$format = 'Watt'"><xsl:text> W</xsl:text></xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- ========================================== sensor summaries ====== -->

  <xsl:template name="SensorSummaries">
    <xsl:call-template name="SensorSummary">
      <xsl:with-param name="anchor" select="'TEMPERATURES'"/>
      <xsl:with-param name="title" select="'Temperatures'"/>
      <xsl:with-param name="format" select="'DegreeCentigrade'"/>
      <xsl:with-param name="noneText" select="'No temperature sensors available.'"/>
    </xsl:call-template>
    <xsl:call-template name="SensorSummary">
      <xsl:with-param name="anchor" select="'FANS'"/>
      <xsl:with-param name="title" select="'Fans'"/>
      <xsl:with-param name="format" select="'Rpm'"/>
      <xsl:with-param name="noneText" select="'No fan sensors available.'"/>
    </xsl:call-template>
    <xsl:call-template name="SensorSummary">
      <xsl:with-param name="anchor" select="'VOLTAGES'"/>
      <xsl:with-param name="title" select="'Voltages'"/>
      <xsl:with-param name="format" select="'Volt'"/>
      <xsl:with-param name="noneText" select="'No voltage sensors available.'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="SensorSummary">
    <xsl:param name="anchor"/>
    <xsl:param name="title"/>
    <xsl:param name="format"/>
    <xsl:param name="noneText"/>
    <xsl:variable name="sensors" select="key('TestsByFormat', $format)"/>
    <div class="summary">
      <h2 id="{$anchor}"><xsl:value-of select="$title"/></h2>
      <xsl:choose>
        <xsl:when test="$sensors">
          <table class="sensors">
            <thead>
              <tr><th>Sensor</th><th>Value</th></tr>
            </thead>
            <tbody>
              <xsl:for-each select="$sensors">
                <tr>
                  <xsl:if test="TestStatus = 'Alarm'">
                    <xsl:attribute name="class">bad</xsl:attribute>
                  </xsl:if>
                  <td class="sensor">
                    <a href="#TST{TestNumber}">
                      <xsl:call-template name="SensorLabel">
                        <xsl:with-param name="format" select="$format"/>
                      </xsl:call-template>
                    </a>
                  </td>
                  <td class="result"><xsl:call-template name="ResultValue"/></td>
                </tr>
              </xsl:for-each>
            </tbody>
          </table>
        </xsl:when>
        <xsl:otherwise>
          <p class="none"><xsl:value-of select="$noneText"/></p>
        </xsl:otherwise>
      </xsl:choose>
      <xsl:call-template name="BackToContents"/>
    </div>
  </xsl:template>

  <!--
    Which names label a sensor of the context Test:
    - voltages: group and test name;
    - temperatures: group and subcategory name, since module sensors sit in
      a subcategory of their own ("Sensor 2") under a test named "Current";
      the test name stands in for a subcategory named "CatUndef";
    - fans: group, subcategory and test name; a test named "Current" only
      repeats the subcategory's fan and is left out, and a subcategory named
      "CatUndef" is left out (its test name then always stays, so the label
      never shrinks to the group alone).
  -->
  <xsl:template name="SensorLabel">
    <xsl:param name="format"/>
    <xsl:variable name="groupName" select="string(../../../GroupName)"/>
    <xsl:variable name="subName" select="string(../SubCategoryName)"/>
    <xsl:variable name="testName" select="string(TestName)"/>
    <xsl:value-of select="$groupName"/>
    <xsl:choose>
      <xsl:when test="$format = 'Volt' or $subName = $kCatUndef">
        <xsl:text> &gt; </xsl:text>
        <xsl:value-of select="$testName"/>
      </xsl:when>
      <xsl:when test="$format = 'Rpm' and $testName != 'Current'">
        <xsl:text> &gt; </xsl:text>
        <xsl:value-of select="$subName"/>
        <xsl:text> &gt; </xsl:text>
        <xsl:value-of select="$testName"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:text> &gt; </xsl:text>
        <xsl:value-of select="$subName"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ===================================== failed tests and alarms ===== -->

  <xsl:template name="StatusList">
    <xsl:param name="anchor"/>
    <xsl:param name="title"/>
    <xsl:param name="status"/>
    <xsl:param name="noneText"/>
    <xsl:variable name="tests" select="key('TestsByStatus', $status)"/>
    <div class="summary">
      <h2 id="{$anchor}"><xsl:value-of select="$title"/></h2>
      <xsl:choose>
        <xsl:when test="$tests">
          <ul class="links">
            <xsl:for-each select="$tests">
              <li class="bad">
                <a href="#TST{TestNumber}"><xsl:call-template name="TestPath"/></a>
              </li>
            </xsl:for-each>
          </ul>
        </xsl:when>
        <xsl:otherwise>
          <p class="none"><xsl:value-of select="$noneText"/></p>
        </xsl:otherwise>
      </xsl:choose>
      <xsl:call-template name="BackToContents"/>
    </div>
  </xsl:template>

  <!-- Group > Category > SubCategory > Test of the context Test, without
       the placeholder names. -->
  <xsl:template name="TestPath">
    <xsl:value-of select="../../../GroupName"/>
    <xsl:if test="../../CategoryName != $kCatUndef">
      <xsl:text> &gt; </xsl:text>
      <xsl:value-of select="../../CategoryName"/>
    </xsl:if>
    <xsl:if test="../SubCategoryName != $kCatUndef">
      <xsl:text> &gt; </xsl:text>
      <xsl:value-of select="../SubCategoryName"/>
    </xsl:if>
    <xsl:text> &gt; </xsl:text>
    <xsl:value-of select="TestName"/>
  </xsl:template>

</xsl:stylesheet>
