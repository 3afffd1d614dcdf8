<%@ Language=VBScript %>
<% Option Explicit %>
<!-- #include file="includes/db.inc" -->
<%
Dim strPageTitle, strCategory, intPage, rs, intShown
strPageTitle = "Products"
strCategory = Request.QueryString("cat")
intPage = 1
If IsNumeric(Request.QueryString("page")) And Request.QueryString("page") <> "" Then
    intPage = CInt(Request.QueryString("page"))
End If

If strCategory = "" Then
    Set rs = RunQuery("SELECT ProductID, Name, Category, Price, InStock FROM Products ORDER BY Category, Name", Empty)
Else
    Set rs = RunQuery("SELECT ProductID, Name, Category, Price, InStock FROM Products WHERE Category = ? ORDER BY Name", Array(strCategory))
End If
%>
<!-- #include file="includes/header.inc" -->
<h1>Products<% If strCategory <> "" Then Response.Write " &raquo; " & Server.HTMLEncode(strCategory) %></h1>

<form method="get" action="products.asp">
  Category:
  <select name="cat" onchange="this.form.submit()">
    <option value="">(all)</option>
    <option value="Seeds"<% If strCategory = "Seeds" Then Response.Write " selected" %>>Seeds</option>
    <option value="Bulbs"<% If strCategory = "Bulbs" Then Response.Write " selected" %>>Bulbs</option>
    <option value="Tools"<% If strCategory = "Tools" Then Response.Write " selected" %>>Tools</option>
  </select>
</form>

<table class="grid" cellspacing="0">
  <tr><th>Name</th><th>Category</th><th>Price</th><th>In stock</th></tr>
<%
intShown = 0
Do While Not rs.EOF
    intShown = intShown + 1
%>
  <tr class="<% If intShown Mod 2 = 0 Then Response.Write "even" Else Response.Write "odd" %>">
    <td><a href="product.asp?id=<%= rs("ProductID") %>"><%= Server.HTMLEncode(rs("Name")) %></a></td>
    <td><%= rs("Category") %></td>
    <td align="right"><%= FormatPrice(rs("Price")) %></td>
    <td align="center"><% If rs("InStock") Then %><img src="images/icons/cart.gif" alt="yes"><% Else %>-<% End If %></td>
  </tr>
<%
    rs.MoveNext
Loop
rs.Close
Set rs = Nothing
If intShown = 0 Then WriteError "No products in this category."
%>
</table>
<!-- #include file="includes/footer.inc" -->
